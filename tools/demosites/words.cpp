#include "words.h"

#include <cstdio>

namespace talvenor::demo {

namespace {

template <size_t N>
const char* Pick(const char* const (&list)[N], uint64_t h) {
    return list[h % N];
}

// Title parts.  Some prefixes share 重生 and 穿越 so that searches and the
// catalogue filter find several books.
const char* const kPrefix[] = {"",     "重生之", "穿越之", "重生", "穿越", "异界", "都市",
                               "极品", "绝世",   "逆天",   "傲世", "无敌", "最强", "修真",
                               "我的", "神级",   "仙路",   "盛世", "末世", "超级"};
const char* const kMiddle[] = {"天下", "九天", "星辰", "龙城", "江湖", "仙界", "乾坤", "风云",
                               "苍穹", "红尘", "山河", "万古", "烟雨", "长安", "紫禁", "青云",
                               "大唐", "三国", "明月", "寒冰", "烈火", "玄天", "太古", "凌霄",
                               "北疆", "南海", "西域", "东方", "帝都", "凤凰", "麒麟", "碧海",
                               "落日", "流年", "琉璃", "锦绣", "桃花", "雪域", "幽冥", "昆仑"};
const char* const kNoun[] = {"剑仙", "神医", "狂少", "王妃", "帝尊", "邪君", "医仙", "霸主", "公主", "皇后",
                             "将军", "剑客", "战神", "魔君", "丹师", "少年", "千金", "总裁", "娇妻", "皇帝",
                             "宰相", "书生", "侠客", "猎人", "法师", "魔女", "天师", "仙尊", "刀客", "商人",
                             "妖王", "术士", "谋士", "佳人", "世子", "郡主", "兵王", "游侠", "道长", "圣女"};
const char* const kSuffix[] = {"", "传", "录", "记", "志", "诀", "谣", "行"};
constexpr int kPrefixN = sizeof(kPrefix) / sizeof(kPrefix[0]);
constexpr int kMiddleN = sizeof(kMiddle) / sizeof(kMiddle[0]);
constexpr int kNounN = sizeof(kNoun) / sizeof(kNoun[0]);
constexpr int kSuffixN = sizeof(kSuffix) / sizeof(kSuffix[0]);

const char* const kSurname[] = {"林", "叶", "苏", "萧", "楚", "白", "秦", "柳", "陆", "沈",
                                "韩", "顾", "温", "墨", "江", "云", "夏", "洛", "唐", "宁"};
const char* const kGiven[] = {"风", "雨", "尘", "月", "雪", "寒", "歌", "离", "川", "影",
                              "舟", "言", "墨", "辰", "烟", "青", "笑", "眠", "岚", "溪"};
const char* const kPenName[] = {"夜雨听风", "孤舟蓑笠", "半盏清茶", "青衫落拓", "南山有鹿",
                                "一叶知秋", "北窗高卧", "星河入梦", "醉卧沙场", "竹影清风"};

const char* const kPerson[] = {"林风", "叶凡", "苏瑶",   "萧云", "慕容雪", "楚天",
                               "白素", "秦川", "柳如烟", "陆离", "沈青",   "韩月"};
const char* const kAdverb[] = {"缓缓地", "轻轻地", "默默地",     "忽然",
                               "终于",   "悄悄地", "毫不犹豫地", "若有所思地"};
const char* const kVerb[] = {"推开了", "望向", "握紧了", "放下了", "想起了", "走进了", "看着", "收起了"};
const char* const kObject[] = {"那扇木门",   "远处的山峰", "手中的长剑", "桌上的茶杯",
                               "窗外的月光", "那封旧信",   "腰间的玉佩", "院中的古树"};
const char* const kPlace[] = {"山谷", "城门", "客栈", "竹林", "湖边", "长街", "大殿", "小院"};
const char* const kTime[] = {"清晨", "黄昏", "深夜", "雨后", "正午", "初春", "深秋", "雪夜"};
const char* const kQuote[] = {"你终于来了", "这一切都是命",   "我不会放弃的",
                              "原来如此",   "走吧，天快黑了", "此事还需从长计议"};
const char* const kSaid[] = {"低声说道", "笑着说", "叹了口气", "沉声道"};
const char* const kScene[] = {"风吹过树梢，带来一阵淡淡的花香", "远处传来几声钟响",       "灯火在夜色中摇曳",
                              "雨丝细细地落在青石板上",         "天边的云慢慢染成了红色", "四下里一片寂静"};
const char* const kFeeling[] = {"心中百感交集", "一时竟说不出话来", "嘴角露出一丝笑意",
                                "眉头越皱越紧", "眼中闪过一抹坚定", "只觉得恍如隔世"};

const char* const kChapterPhrase[] = {"风起云涌", "初入江湖", "夜探古寺", "故人重逢", "生死一线",
                                      "暗流涌动", "故人来访", "一剑惊鸿", "月下对饮", "山雨欲来",
                                      "破茧而出", "踏上归途", "迷雾重重", "决战前夕", "真相大白",
                                      "离别之时", "意外奇遇", "拜师学艺", "比武招亲", "雪夜追踪"};

const char* const kIntroOpen[] = {"本是一个普通的", "是个自幼父母双亡的", "是个出身寒门的",
                                  "是个被逐出家门的", "是个身负血仇的"};
const char* const kIntroGoal[] = {"一步步走上巅峰", "守护心中所爱", "揭开尘封多年的秘密", "闯出一片天地",
                                  "改写早已注定的命运"};

const char* const kDuowanCategories[] = {"玄幻奇幻", "武侠仙侠", "都市言情", "历史军事",
                                         "科幻灵异", "网游竞技", "青春校园", "穿越架空",
                                         "悬疑推理", "经管励志", "同人小说", "其他类别"};
const char* const kReadnovelCategories[] = {"玄幻魔法", "武侠修真", "都市生活", "言情小说",
                                            "历史军事", "科幻小说", "恐怖灵异", "网络游戏",
                                            "青春校园", "耽美小说", "全部完本"};
const char* const kFeikuGroups[] = {"网络原创", "经典文学", "生活科教"};
const char* const kFeikuCategories[3][6] = {
    {"玄幻奇幻", "武侠仙侠", "都市言情", "历史军事", "网游竞技", "科幻灵异"},
    {"古典名著", "现代文学", "外国文学", "诗词散文", "传记纪实", "侦探推理"},
    {"科普知识", "生活百科", "经管励志", "健康养生", "教育学习", "电脑网络"}};
const char* const kXs8Genres[] = {"古代言情", "现代言情", "穿越时空", "青春校园", "幻想言情", "豪门世家"};

template <size_t N>
std::string Numbered(const char* const (&list)[N], int index) {
    if (index < static_cast<int>(N)) return list[index];
    return std::string(list[N - 1]) + std::to_string(index + 1);
}

}  // namespace

int TitleSpace() {
    return kPrefixN * kMiddleN * kNounN * kSuffixN;
}

std::string ComposeTitle(int index) {
    // A multiplier coprime with the space spreads neighbouring indices over
    // all the word lists while keeping titles distinct.
    const int64_t space = TitleSpace();
    int64_t x = (static_cast<int64_t>(index) % space * 104729 + 12345) % space;
    std::string t = kPrefix[x % kPrefixN];
    x /= kPrefixN;
    t += kMiddle[x % kMiddleN];
    x /= kMiddleN;
    t += kNoun[x % kNounN];
    x /= kNounN;
    t += kSuffix[x % kSuffixN];
    return t;
}

std::string ComposeAuthor(uint64_t h) {
    if (h % 4 == 0) return Pick(kPenName, h >> 8);
    std::string a = Pick(kSurname, h >> 8);
    a += Pick(kGiven, h >> 16);
    if (h % 3 == 0) a += Pick(kGiven, h >> 24);
    return a;
}

std::string ComposeDate(uint64_t h) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", static_cast<int>(2008 + h % 3),
                  static_cast<int>(1 + (h >> 8) % 12), static_cast<int>(1 + (h >> 16) % 28));
    return buf;
}

std::string ComposeChapterTitle(int number, uint64_t h) {
    return "第" + std::to_string(number) + "章 " + Pick(kChapterPhrase, h);
}

std::string ComposeSentence(uint64_t h) {
    switch (h % 5) {
        case 0:
            return std::string(Pick(kPerson, h >> 4)) + Pick(kAdverb, h >> 8) + Pick(kVerb, h >> 12) +
                   Pick(kObject, h >> 16) + "。";
        case 1:
            return std::string(Pick(kTime, h >> 4)) + "的" + Pick(kPlace, h >> 8) + "，" +
                   Pick(kScene, h >> 12) + "。";
        case 2:
            return std::string("“") + Pick(kQuote, h >> 4) + "。”" + Pick(kPerson, h >> 8) +
                   Pick(kSaid, h >> 12) + "。";
        case 3:
            return std::string(Pick(kPerson, h >> 4)) + Pick(kFeeling, h >> 8) + "，" +
                   Pick(kAdverb, h >> 12) + Pick(kVerb, h >> 16) + Pick(kObject, h >> 20) + "。";
        default:
            return std::string(Pick(kScene, h >> 4)) + "，" + Pick(kPerson, h >> 8) + "与" +
                   Pick(kPerson, h >> 12) + "在" + Pick(kPlace, h >> 16) + "相对无言。";
    }
}

std::string ComposeParagraph(uint64_t h) {
    std::string p;
    int n = 2 + static_cast<int>(h % 3);
    for (int i = 0; i < n; ++i)
        p += ComposeSentence(h * 31 + static_cast<uint64_t>(i) * 0x9E3779B97F4A7C15ull);
    return p;
}

std::vector<std::string> ComposeIntro(const std::string& title, uint64_t h) {
    std::vector<std::string> lines;
    lines.push_back(std::string(Pick(kPerson, h)) + Pick(kIntroOpen, h >> 8) + "少年，因一次意外卷入" +
                    Pick(kMiddle, h >> 12) + "之争。");
    lines.push_back("《" + title + "》讲述了他如何" + Pick(kIntroGoal, h >> 16) + "的故事。");
    if (h % 2 == 0) lines.push_back(ComposeSentence(h >> 20));
    if (h % 3 == 0) lines.push_back("本书已签约，欢迎收藏推荐。");
    return lines;
}

std::string DuowanCategoryName(int index) {
    return Numbered(kDuowanCategories, index);
}

std::string ReadnovelCategoryName(int index) {
    return Numbered(kReadnovelCategories, index);
}

std::string FeikuGroupName(int group) {
    return kFeikuGroups[group % 3];
}

std::string FeikuCategoryName(int group, int index) {
    return Numbered(kFeikuCategories[group % 3], index);
}

std::string Xs8GenreName(uint64_t h) {
    return Pick(kXs8Genres, h);
}

}  // namespace talvenor::demo
