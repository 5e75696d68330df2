#include "core/form/transmit_sequence_form.h"

#include <optional>

#include "core/decimal.h"

std::optional<StepText> parseStepText(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const std::optional<StepKind> kind = stepKindNamed(text.substr(colon + 1));
    if (!kind) return std::nullopt;
    return StepText{std::string(text.substr(0, colon)), *kind};
}

StepLengthCheck takeStepSeconds(std::string_view text, int& seconds) {
    const std::optional<int> value = parseInteger(text);
    if (!value) return {false, 0, std::string(FormText::notAnInteger)};
    seconds = *value;
    if (*value < stepSecondsRange.min || *value > stepSecondsRange.max)
        return {false, 0, formatRangeMessage(stepSecondsRange.min, stepSecondsRange.max)};
    return {};
}

StepLengthCheck takeStepLengths(const std::function<std::string(int step)>& textOf, TransmitSteps& steps) {
    for (int k = 0; k < editorStepCount; ++k) {
        StepLengthCheck check = takeStepSeconds(textOf(k), steps[k].seconds);
        if (!check.ok) {
            check.step = k;
            return check;
        }
    }
    return {};
}

void roundStepLengths(TransmitSteps& steps) {
    for (TransmitStep& step : steps)
        step.seconds = roundStepSeconds(step.seconds);
}
