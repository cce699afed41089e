#pragma once
// Drawing winners: distinct rows picked uniformly at random, and the whole
// draw (load, pick, mark in one transaction) shared by the window and the
// command-line tool.

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "store/participants.h"

namespace store {

// Uniform random integers, seeded from the operating system's entropy
// source (never the clock: a clock seed makes a public draw predictable).
class RandomSource {
public:
    RandomSource();
    // Draws a fresh seed from the entropy source.
    void Reseed();
    // Seeds deterministically, for tests.
    void Seed(std::uint64_t seed) { m_engine.seed(seed); }
    // A uniform integer in [low, high], without modulo bias.
    std::size_t Uniform(std::size_t low, std::size_t high);

private:
    std::mt19937_64 m_engine;
};

// Picks n distinct rows among 1 .. participantCount, in draw order. A row
// drawn twice is drawn again (never shifted to a neighbour). Requires
// 1 <= n <= participantCount.
std::vector<std::size_t> PickWinners(std::size_t participantCount, std::size_t n, RandomSource& random);

enum class DrawStatus { Done, NobodyLeft, CountOutOfRange, DatabaseError };

struct DrawResult {
    DrawStatus status = DrawStatus::Done;
    std::vector<Participant> winners;  // in draw order
    std::size_t available = 0;         // participants who could win
    std::string error;                 // the database's message
};

// Checks n against the list of `available` participants (rows 1 .. available,
// read through participantAt), picks the winners and marks them all in one
// transaction. Nothing is marked unless everything is.
DrawResult DrawFromList(DbConnection& connection, std::size_t available,
                        const std::function<Participant(std::size_t row)>& participantAt, long long n,
                        RandomSource& random);
DrawResult DrawFromList(DbConnection& connection, const std::vector<Participant>& list, long long n,
                        RandomSource& random);

// Loads the not-yet-won list, then DrawFromList.
DrawResult DrawWinners(DbConnection& connection, long long n, RandomSource& random);

}  // namespace store
