// The step table comes back from any timer's memory; its text forms come from the command
// line: SECONDS:KIND steps and the 32 hexadecimal digits of a settings file.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/form/transmit_sequence_form.h"
#include "core/formats/transmit_sequence.h"

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

// The table the command line builds from its step words, as transmit-sequence builds it;
// nothing when a word or a length is refused.
bool tableOfSteps(const std::vector<std::string_view>& words, TransmitSequence& table) {
    TransmitSteps steps{};
    std::vector<std::string> seconds;
    for (std::string_view word : words) {
        const auto step = parseStepText(word);
        if (!step) return false;
        steps[seconds.size()].kind = step->kind;
        seconds.push_back(step->seconds);
    }
    const StepLengthCheck lengths = takeStepLengths(
        [&seconds](int k) { return k < static_cast<int>(seconds.size()) ? seconds[k] : std::string("0"); },
        steps);
    if (!lengths.ok) return false;
    roundStepLengths(steps);
    for (const TransmitStep& step : steps)
        check(step.seconds % 10 == 0 && step.seconds >= 0 && step.seconds <= 1000);
    table = buildTransmitSequence(steps);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Any 16 bytes as a stored table: the editor opens it and writes it back with the
    // same lengths and the flags of the kinds it shows, and opens that as it opened the first.
    if (size >= 16) {
        TransmitSequence stored{};
        std::copy_n(data, stored.size(), stored.begin());
        const TransmitSteps shown = stepsOfTransmitSequence(stored);
        const TransmitSequence written = buildTransmitSequence(shown);
        for (int k = 0; k < editorStepCount; ++k) {
            check(written[2 * k] == stored[2 * k]);
            check(written[2 * k + 1] == stepKindToFlags(flagsToStepKind(stored[2 * k + 1])));
        }
        for (std::size_t i = 2 * editorStepCount; i < written.size(); ++i)
            check(written[i] == 0);
        check(stepsOfTransmitSequence(written) == shown);
        check(leadingStepCount(written) == std::min(leadingStepCount(stored), editorStepCount));
        check(parseTransmitSequenceHex(transmitSequenceHex(stored)) == stored);
    }

    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // The settings file's digits: read exactly when they are 32 hexadecimal digits, and
    // printed back as they were typed, in capitals.
    const auto table = parseTransmitSequenceHex(text);
    const bool hexDigits = text.size() == 32 && std::all_of(text.begin(), text.end(), [](char c) {
                               return std::isxdigit(static_cast<unsigned char>(c)) != 0;
                           });
    check(table.has_value() == hexDigits);
    if (table) {
        std::string capitals(text);
        for (char& c : capitals)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        check(transmitSequenceHex(*table) == capitals);
    }

    // The command line's steps, one a word: the table they give is given again by the
    // steps printed from it.
    std::vector<std::string_view> words;
    for (std::size_t position = 0; position < text.size();) {
        const std::size_t end = std::min(text.find(' ', position), text.size());
        if (end > position) words.push_back(text.substr(position, end - position));
        position = end + 1;
    }
    if (words.empty() || words.size() > static_cast<std::size_t>(editorStepCount)) return 0;
    TransmitSequence fromWords{};
    if (!tableOfSteps(words, fromWords)) return 0;
    std::vector<std::string> printed;
    for (const TransmitStep& step : stepsOfTransmitSequence(fromWords))
        printed.push_back(std::to_string(step.seconds) + ":" +
                          std::string(stepKindNames[static_cast<int>(step.kind)]));
    const std::vector<std::string_view> printedWords(printed.begin(), printed.end());
    TransmitSequence again{};
    check(tableOfSteps(printedWords, again) && again == fromWords);
    return 0;
}
