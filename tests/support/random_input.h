// What a user's random hand gives a dialog: a seeded generator whose sequences are the same on
// every platform (a failing seed replays anywhere), the texts typed into number edits and the
// settings files offered to the load command.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace qorva::test {

class RandomInput {
public:
    explicit RandomInput(std::uint32_t seed) : engine_(seed) {}
    // 0 .. n - 1 (0 when n < 2); the raw engine only, never a library distribution, whose
    // results differ between standard libraries.
    int below(int n) {
        return n < 2 ? 0 : static_cast<int>(engine_() % static_cast<std::uint32_t>(n));
    }
    int between(int low, int high) { return low + below(high - low + 1); }
    bool chance(int percent) { return below(100) < percent; }
    template <class T>
    const T& pick(const std::vector<T>& items) {
        return items[static_cast<std::size_t>(below(static_cast<int>(items.size())))];
    }

private:
    std::mt19937 engine_;
};

// Text typed into a number edit whose slider covers low..high: a number inside or far outside
// the range, something that is no number to a slider (letters, NaN, infinity, nothing), or a
// random run of the keys a hand hits there.
std::string randomEditText(RandomInput& random, double low, double high);

// The bytes of a settings file as a user may offer them: a well-formed file with random values
// and curves (now and then outside what the dialog can set), one cut short or with bytes
// changed, or noise.
std::vector<std::uint8_t> randomSettingsBytes(RandomInput& random);

}  // namespace qorva::test
