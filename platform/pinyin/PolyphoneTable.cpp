#include "platform/pinyin/IcuTextReadings.h"

#include <unordered_map>

namespace linlangok {
namespace {

// Characters whose reading in a title or a name is not always the one ICU gives, with every
// common reading, the most common first: polyphones of song titles (长城 changcheng, 音乐 yinyue,
// 重逢 chongfeng) and surnames (单 shan, 曾 zeng, 解 xie, 区 ou, 查 zha, 朴 piao, 仇 qiu).
constexpr std::pair<char16_t, const char*> kTable[] = {{u'长', "chang zhang"}, {u'乐', "le yue"},
    {u'重', "zhong chong"}, {u'单', "dan shan chan"}, {u'曾', "ceng zeng"}, {u'解', "jie xie"}, {u'区', "qu ou"},
    {u'行', "xing hang"}, {u'还', "hai huan"}, {u'着', "zhe zhao zhuo"}, {u'了', "le liao"}, {u'的', "de di"},
    {u'得', "de dei"}, {u'地', "di de"}, {u'朝', "chao zhao"}, {u'觉', "jue jiao"}, {u'传', "chuan zhuan"},
    {u'都', "dou du"}, {u'大', "da dai"}, {u'藏', "cang zang"}, {u'调', "diao tiao"}, {u'和', "he huo hu"},
    {u'角', "jiao jue"}, {u'薄', "bo bao"}, {u'落', "luo la lao"}, {u'会', "hui kuai"}, {u'参', "can shen"},
    {u'朴', "pu piao"}, {u'仇', "chou qiu"}, {u'查', "cha zha"}, {u'翟', "zhai di"}, {u'尉', "wei yu"},
    {u'覃', "qin tan"}, {u'盖', "gai ge"}, {u'缪', "miao mou"}, {u'召', "zhao shao"}, {u'莘', "shen xin"},
    {u'折', "zhe she"}, {u'似', "si shi"}, {u'差', "cha chai ci"}, {u'种', "zhong"}, {u'弹', "tan dan"}, {u'数', "shu"},
    {u'将', "jiang qiang"}, {u'便', "bian pian"}, {u'血', "xue xie"}, {u'给', "gei ji"}, {u'没', "mei mo"},
    {u'省', "sheng xing"}, {u'率', "shuai lv lu"}, {u'阿', "a e"}, {u'那', "na nei"}, {u'这', "zhe zhei"},
    {u'谁', "shui shei"}, {u'模', "mo mu"}, {u'厦', "sha xia"}, {u'露', "lu lou"}, {u'恶', "e wu"}, {u'秘', "mi bi"},
    {u'系', "xi ji"}, {u'降', "jiang xiang"}, {u'称', "cheng chen"}, {u'宿', "su xiu"}, {u'强', "qiang jiang"},
    {u'雀', "que qiao"}, {u'钥', "yao yue"}, {u'泊', "bo po"}, {u'佛', "fo fu"}, {u'色', "se shai"}, {u'伯', "bo bai"},
    {u'车', "che ju"}, {u'贾', "jia gu"}, {u'乘', "cheng sheng"}, {u'万', "wan mo"}, {u'石', "shi dan"},
    {u'柏', "bai bo"}, {u'员', "yuan yun"}, {u'颉', "xie jie"}, {u'句', "ju gou"}, {u'奇', "qi ji"},
    {u'说', "shuo shui"}, {u'少', "shao"}, {u'为', "wei"}, {u'中', "zhong"}, {u'发', "fa"}, {u'相', "xiang"},
    {u'空', "kong"}, {u'看', "kan"}, {u'兴', "xing"}, {u'干', "gan"}, {u'难', "nan"}, {u'应', "ying"}, {u'处', "chu"},
    {u'几', "ji"}, {u'量', "liang"}, {u'漂', "piao"}, {u'转', "zhuan"}, {u'冲', "chong"}, {u'好', "hao"},
    {u'只', "zhi"}, {u'一', "yi"}, {u'不', "bu"}, {u'么', "me"}, {u'吗', "ma"}, {u'呢', "ne"}, {u'吧', "ba"},
    {u'啊', "a"}, {u'哪', "na"}, {u'期', "qi"}, {u'校', "xiao jiao"}, {u'缘', "yuan"}, {u'莎', "sha suo"},
    {u'娜', "na"}, {u'浅', "qian"}, {u'载', "zai"}, {u'绿', "lv lu"}, {u'女', "nv nu"}, {u'旅', "lv lu"},
    {u'吕', "lv lu"}, {u'侣', "lv lu"}, {u'律', "lv lu"}, {u'虑', "lv lu"}, {u'略', "lve lue"}, {u'雨', "yu"},
    {u'语', "yu"}, {u'与', "yu"}, {u'鱼', "yu"}, {u'正', "zheng"}, {u'思', "si"}, {u'夜', "ye"}, {u'红', "hong"},
    {u'蔓', "man wan"}, {u'玟', "min wen"}, {u'靓', "jing liang"}, {u'华', "hua"}, {u'任', "ren"}, {u'沈', "shen"},
    {u'宁', "ning"}, {u'殷', "yin"}, {u'纪', "ji"}, {u'刹', "sha cha"}, {u'纤', "xian qian"}};

} // namespace

std::vector<std::string> PolyphoneReadings(char32_t character)
{
    static const std::unordered_map<char32_t, std::string_view> table(std::begin(kTable), std::end(kTable));
    const auto found = table.find(character);
    if (found == table.end())
        return {};
    std::vector<std::string> readings;
    std::string_view rest = found->second;
    while (!rest.empty()) {
        const size_t space = rest.find(' ');
        readings.emplace_back(rest.substr(0, space));
        rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
    }
    return readings;
}

} // namespace linlangok
