#include "catalogue/failures.h"

#include "catalogue/desktop.h"
#include "text/encoding.h"
#include "text/numbers.h"

namespace talvenor {

std::string FailureText(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const ConversionError& e) {
        return e.what();  // GBK already
    } catch (const ListIndexError& e) {
        return e.what();
    } catch (const std::exception& e) {
        // The other failures speak UTF-8 (file paths, addresses).
        return Utf8ToGbk(e.what());
    } catch (...) {
        return Utf8ToGbk("未知错误");
    }
}

void ShowFailure(Desktop& desktop) {
    desktop.Message(FailureText(std::current_exception()));
}

const std::string& LineAt(const std::vector<std::string>& lines, size_t i) {
    if (i >= lines.size()) ThrowMissingLine(i);
    return lines[i];
}

void ThrowMissingLine(size_t i) {
    throw ListIndexError(Utf8ToGbk("列表索引越界 (" + std::to_string(i) + ")"));
}

}  // namespace talvenor
