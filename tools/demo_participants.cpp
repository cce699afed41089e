#include "tools/demo_participants.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace dbtool {

namespace {

// Common surnames and given-name characters, as whole UTF-8 characters.
constexpr std::array<std::string_view, 48> kSurnames = {
    "王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙", "马", "朱", "胡", "郭",
    "何", "高", "林", "罗", "郑", "梁", "谢", "宋", "唐", "许", "韩", "冯", "邓", "曹", "彭", "曾",
    "肖", "田", "董", "袁", "潘", "于", "蒋", "蔡", "余", "杜", "叶", "程", "苏", "魏", "吕", "丁"};
constexpr std::array<std::string_view, 48> kGiven = {
    "伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋", "勇", "艳", "杰", "娟", "涛", "明",
    "超", "兰", "霞", "平", "刚", "桂", "英", "华", "玉", "萍", "红", "建", "文", "辉", "力", "婷",
    "雪", "琳", "晨", "宇", "浩", "欣", "怡", "佳", "子", "涵", "博", "鑫", "颖", "思", "雨", "轩"};
constexpr std::array<std::string_view, 12> kMobilePrefixes = {"130", "131", "132", "135", "136", "137",
                                                              "138", "139", "150", "158", "186", "189"};

// A fixed 64-bit linear congruential generator: the standard library's
// distributions may differ between implementations, this does not.
class DemoRandom {
public:
    std::uint32_t next()
    {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return std::uint32_t(m_state >> 33);
    }
    std::size_t below(std::size_t bound) { return next() % bound; }

private:
    std::uint64_t m_state = 20261208;
};

// A small Feistel network over two four-digit halves: a bijection on
// 0 .. 10^8 - 1, so distinct indices give distinct numbers that look random.
std::uint64_t scatter(std::uint64_t value)
{
    constexpr std::uint64_t kHalf = 10000;
    std::uint64_t left = value / kHalf, right = value % kHalf;
    for (std::uint64_t round = 1; round <= 4; ++round) {
        const std::uint64_t mixed = (right * right * 31 + right * 7919 + round * 4973) % kHalf;
        const std::uint64_t next = (left + mixed) % kHalf;
        left = right;
        right = next;
    }
    return left * kHalf + right;
}

std::string eightDigits(std::uint64_t value)
{
    std::string digits(8, '0');
    for (int i = 7; i >= 0; --i, value /= 10)
        digits[std::size_t(i)] = char('0' + value % 10);
    return digits;
}

}  // namespace

std::vector<DemoParticipant> makeDemoParticipants(std::size_t count)
{
    DemoRandom random;
    std::vector<DemoParticipant> people;
    people.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        DemoParticipant person;
        person.name = std::string(kSurnames[random.below(kSurnames.size())]);
        const std::size_t givenLength = random.below(3) == 0 ? 1 : 2;
        for (std::size_t g = 0; g < givenLength; ++g)
            person.name += kGiven[random.below(kGiven.size())];
        person.number = std::string(kMobilePrefixes[random.below(kMobilePrefixes.size())]) +
                        eightDigits(scatter(std::uint64_t(i)));
        people.push_back(std::move(person));
    }
    return people;
}

}  // namespace dbtool
