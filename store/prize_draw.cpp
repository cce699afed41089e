#include "store/prize_draw.h"

#include <unordered_set>

namespace store {

RandomSource::RandomSource()
{
    Reseed();
}

void RandomSource::Reseed()
{
    std::random_device device;  // the kernel's entropy source on Linux
    std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
    m_engine.seed(seed);
}

std::size_t RandomSource::Uniform(std::size_t low, std::size_t high)
{
    // The library's distribution rejects out-of-range values, so no row is favoured.
    std::uniform_int_distribution<std::size_t> distribution(low, high);
    return distribution(m_engine);
}

std::vector<std::size_t> PickWinners(std::size_t participantCount, std::size_t n, RandomSource& random)
{
    std::vector<std::size_t> rows;
    if (n == 0 || n > participantCount)
        return rows;
    rows.reserve(n);
    std::unordered_set<std::size_t> picked;
    picked.reserve(n * 2);
    while (rows.size() < n) {
        const std::size_t row = random.Uniform(1, participantCount);
        if (picked.insert(row).second)
            rows.push_back(row);
    }
    return rows;
}

DrawResult DrawFromList(DbConnection& connection, std::size_t available,
                        const std::function<Participant(std::size_t row)>& participantAt, long long n,
                        RandomSource& random)
{
    DrawResult result;
    result.available = available;
    if (available == 0) {
        result.status = DrawStatus::NobodyLeft;
        return result;
    }
    if (n < 1 || static_cast<unsigned long long>(n) > available) {
        result.status = DrawStatus::CountOutOfRange;
        return result;
    }
    random.Reseed();
    std::vector<std::string> numbers;
    for (std::size_t row : PickWinners(available, std::size_t(n), random)) {
        result.winners.push_back(participantAt(row));
        numbers.push_back(result.winners.back().number);
    }
    if (!MarkWinners(connection, numbers)) {
        result.status = DrawStatus::DatabaseError;
        result.error = connection.error();
        result.winners.clear();
    }
    return result;
}

DrawResult DrawFromList(DbConnection& connection, const std::vector<Participant>& list, long long n,
                        RandomSource& random)
{
    return DrawFromList(
        connection, list.size(), [&](std::size_t row) { return list[row - 1]; }, n, random);
}

DrawResult DrawWinners(DbConnection& connection, long long n, RandomSource& random)
{
    std::vector<Participant> list;
    if (!LoadNotWon(connection, list)) {
        DrawResult result;
        result.status = DrawStatus::DatabaseError;
        result.error = connection.error();
        return result;
    }
    return DrawFromList(connection, list, n, random);
}

}  // namespace store
