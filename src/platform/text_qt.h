// The core's GBK text at the windows' edge.
#pragma once

#include <QString>
#include <string>

#include "text/encoding.h"

namespace talvenor {

inline QString Q(const std::string& gbk) {
    return QString::fromStdString(GbkToUtf8(gbk));
}
// A character GBK cannot hold becomes "?".
inline std::string Gbk(const QString& text) {
    return Utf8ToGbk(text.toStdString());
}

}  // namespace talvenor
