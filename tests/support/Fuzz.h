#pragma once
// What every fuzz target shares: the seeded generator, byte mutations, the
// report of a failing input in hex, and the bounded run over rounds. A run is
// the same for the same seed, so that it runs as a test, under the sanitizers
// too, and a failure found once is found again:
//
//   <target> [rounds] [seed]

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace Fuzz {

class TRandom {
public:
    explicit TRandom(uint64_t seed) : FState(seed ? seed : 1) {}
    uint64_t Next()
    {
        FState ^= FState << 13;
        FState ^= FState >> 7;
        FState ^= FState << 17;
        return FState;
    }
    // 0 to n - 1; 0 when n is 0.
    size_t Below(size_t n) { return n ? static_cast<size_t>(Next() % n) : 0; }
    int Between(int lo, int hi) { return lo + static_cast<int>(Below(static_cast<size_t>(hi - lo + 1))); }
    template <typename T> const T& Pick(const std::vector<T>& items) { return items[Below(items.size())]; }
    // Up to max bytes, each any value.
    std::string Bytes(size_t max)
    {
        std::string bytes;
        for (size_t n = Below(max + 1); n > 0; --n)
            bytes += static_cast<char>(Below(256));
        return bytes;
    }

private:
    uint64_t FState;
};

// One piece of a failing input: what it is, and its bytes.
struct TPart {
    std::string Label;
    std::string Bytes;
};
using TInput = std::vector<TPart>;

inline int Failures = 0;
inline long Round = 0; // the round under way, for the report

// Reports the first few failures with their round and input, each part's
// first 200 bytes in hex.
inline void Fail(std::string_view what, const TInput& input)
{
    if (++Failures > 10)
        return;
    std::fprintf(stderr, "FAILED in round %ld: %.*s\n", Round, static_cast<int>(what.size()), what.data());
    for (const TPart& part : input) {
        std::fprintf(stderr, "  %s:", part.Label.c_str());
        for (unsigned char c : part.Bytes.substr(0, 200))
            std::fprintf(stderr, " %02X", c);
        std::fprintf(stderr, part.Bytes.size() > 200 ? " ... (%zu bytes)\n" : "\n", part.Bytes.size());
    }
}

inline bool Check(bool ok, std::string_view what, const TInput& input)
{
    if (!ok)
        Fail(what, input);
    return ok;
}

inline bool Check(bool ok, std::string_view what, const std::string& input)
{
    return Check(ok, what, TInput{{"input", input}});
}

// How inputs are mutated: the bytes worth inserting (separators, line breaks,
// signs), the inputs pieces may be spliced from (none: the input itself), the
// most steps and the largest result.
struct TMutation {
    std::string Special = {};
    const std::vector<std::string>* Pool = nullptr;
    int MaxSteps = 4;
    size_t MaxSize = 1u << 20;
};

// One to MaxSteps mutations: a bit flipped, a special byte inserted, a run
// dropped or repeated, a piece of another input spliced in, any byte
// inserted or written over one, the rest cut off; the result cut to MaxSize.
inline std::string Mutate(std::string input, TRandom& random, const TMutation& how)
{
    const int steps = 1 + static_cast<int>(random.Below(static_cast<size_t>(std::max(how.MaxSteps, 1))));
    for (int step = 0; step < steps; ++step) {
        const size_t at = random.Below(input.size() + 1);
        switch (random.Below(8)) {
        case 0:
            if (!input.empty())
                input[random.Below(input.size())] ^= static_cast<char>(1u << random.Below(8));
            break;
        case 1:
            if (!how.Special.empty())
                input.insert(at, 1, how.Special[random.Below(how.Special.size())]);
            break;
        case 2:
            input.erase(at, random.Below(8));
            break;
        case 3: {
            const size_t length = random.Below(std::min<size_t>(input.size() - at, 16) + 1);
            input.insert(at, input.substr(at, length));
            break;
        }
        case 4: {
            const std::string& source = how.Pool && !how.Pool->empty() ? random.Pick(*how.Pool) : input;
            const size_t from = random.Below(source.size() + 1);
            const std::string piece = source.substr(from, random.Below(32));
            input.insert(at, piece);
            break;
        }
        case 5:
            if (at < input.size())
                input[at] = static_cast<char>(random.Below(256));
            break;
        case 6:
            if (random.Below(4) == 0)
                input.resize(at);
            break;
        default:
            input.insert(at, 1, static_cast<char>(random.Below(256)));
            break;
        }
    }
    if (input.size() > how.MaxSize)
        input.resize(how.MaxSize);
    return input;
}

// A target's rounds and seed when the command line names none.
struct TRunDefaults {
    long Rounds;
    uint64_t Seed;
};

// The run: every round gets the one generator; an error escaping a round is a
// failure. Answers 1 after the round of the first failure, else 0.
inline int Run(int argc, char** argv, TRunDefaults defaults, const std::function<void(TRandom&)>& round)
{
    const long rounds = argc > 1 ? std::strtol(argv[1], nullptr, 10) : defaults.Rounds;
    const uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : defaults.Seed;
    TRandom random(seed);
    for (Round = 0; Round < rounds && Failures == 0; ++Round) {
        try {
            round(random);
        } catch (const std::exception& error) {
            Fail(std::string("an error escaped: ") + error.what(), {});
        }
    }
    if (Failures) {
        std::fprintf(stderr, "%d failure(s); again with: %s %ld %llu\n", Failures, argc > 0 ? argv[0] : "",
                     Round, static_cast<unsigned long long>(seed));
        return 1;
    }
    std::printf("%ld rounds from seed %llu, no failure\n", rounds, static_cast<unsigned long long>(seed));
    return 0;
}

// The run over a pool: every round mutates one of the seeds or an earlier
// mutant (the pool keeps at most 256, the seeds always) and hands it to one,
// with the generator for anything more the round makes.
inline int RunMutations(int argc, char** argv, TRunDefaults defaults, std::vector<std::string> pool,
                        TMutation how, const std::function<void(const std::string&, TRandom&)>& one)
{
    const size_t seeds = pool.size();
    how.Pool = &pool;
    return Run(argc, argv, defaults, [&](TRandom& random) {
        const std::string input = Mutate(random.Pick(pool), random, how);
        try {
            one(input, random);
        } catch (const std::exception& error) {
            Check(false, std::string("an error escaped: ") + error.what(), input);
        }
        if (pool.size() < 256)
            pool.push_back(input);
        else
            pool[seeds + random.Below(pool.size() - seeds)] = input;
    });
}

// Whether a run met what it is meant to meet (a wrong line, a value of the
// wrong type), saying so when it did not: such a run tested little.
inline bool Covered(bool met, const char* what)
{
    if (!met)
        std::fprintf(stderr, "the run never met %s\n", what);
    return met;
}

} // namespace Fuzz
