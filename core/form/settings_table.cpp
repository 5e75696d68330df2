#include "core/form/settings_table.h"

#include <algorithm>
#include <array>

#include "core/decimal.h"
#include "core/formats/timer_memory_map.h"
#include "core/formats/transmit_sequence.h"

namespace {

constexpr std::array<std::string_view, 3> transmitModeNames{"continuous", "cycled", "sequenced"};
// The audio modes in form order, named as the step kinds of the same sound.
constexpr std::array<std::string_view, 6> audioModeNames{stepKindNames[2], stepKindNames[4],
                                                         stepKindNames[5], stepKindNames[3],
                                                         stepKindNames[1], stepKindNames[6]};

using K = SettingKind;
using P = SettingPlace;
using V = SettingValue;
using F = FormField;
namespace M = TimerMemoryMap;

// The configuration block's cells of each setting.
constexpr std::uint8_t modeCell = 0;
constexpr std::uint8_t optionCell = 1;

// The form's fields in the exchange order first: the form reads them by their place here.
constexpr std::array<SettingRow, 23> table{{
    {"transmitterCount",
     "Nr of transmitters",
     P::configBlock,
     5,
     V::number,
     {1, 10},
     {},
     K::event,
     F::transmitterCount},
    {"stepLength",
     "Step length (seconds)",
     P::configBlock,
     3,
     V::number,
     {1, 600},
     {},
     K::event,
     F::stepLength},
    {"startupDelay",
     "Startup Delay (minutes)",
     P::configBlock,
     2,
     V::number,
     {0, 255},
     {},
     K::event,
     F::startupDelay},
    {"cycleId", "Cycle ID of transmitter", P::configBlock, 4, V::number, {1, 10}, {}, K::fox, F::cycleId},
    {"transmitMode",
     "Transmission",
     P::configBlock,
     modeCell,
     V::names,
     {0, 2},
     transmitModeNames,
     K::event,
     F::transmitMode},
    {"audioMode",
     "Audio Settings",
     P::configBlock,
     modeCell,
     V::names,
     {0, 5},
     audioModeNames,
     K::event,
     F::audioMode},
    {"soundEffect", "Sound Effect", P::formOnly, 0, V::number, {0, 1}, {}, K::event, F::soundEffect},
    {"cwText",
     "CW Message",
     P::cwBlock,
     M::cwMessageAddress,
     V::text,
     {0, cwTextMaxLength},
     {},
     K::fox,
     F::cwText},
    {"autoShutdown",
     "Auto Shutdown (minutes)",
     P::configBlock,
     8,
     V::number,
     {0, 255},
     {},
     K::event,
     F::autoShutdown},
    {"toneFrequency",
     "Single Tone (Hz)",
     P::configBlock,
     6,
     V::number,
     {50, 3000},
     {},
     K::event,
     F::toneFrequency},
    {"keyed", "Keyed", P::configBlock, optionCell, V::flag, {0, 1}, {}, K::event, F::keyed},
    {"autoId", "Auto-ID (MOx)", P::configBlock, optionCell, V::flag, {0, 1}, {}, K::event, F::autoId},
    {"cwSpeed", "CW keying speed (WPM)", P::configBlock, 10, V::number, {5, 30}, {}, K::event, F::cwSpeed},
    {"outputLevel",
     "Output level",
     P::configBlock,
     optionCell,
     V::number,
     {0, 1},
     {},
     K::event,
     F::outputLevel},
    {"tableLength",
     "Table length",
     P::soundLength,
     M::soundLengthAddress,
     V::number,
     {0, 131071},
     {},
     K::timerOwn,
     F::tableLength},
    {"recoveryBeaconDelay",
     "Recovery Beacon delay",
     P::configBlock,
     11,
     V::number,
     {0, 255},
     {},
     K::event,
     F::recoveryBeaconDelay},
    {"oscillatorTune", "Oscillator Tune Value", P::configBlock, 9, V::number, {-16, 15}, {}, K::timerOwn, {}},
    {"transmitSequence",
     "Sequenced Transmission steps",
     P::transmitSequence,
     M::transmitSequenceAddress,
     V::table,
     {},
     {},
     K::event,
     {}},
    {"toneSequenceText",
     "Tone Sequence",
     P::toneSequence,
     M::toneSequenceAddress,
     V::table,
     {},
     {},
     K::event,
     {}},
    {"ringtone", "Ringtone", P::ringtone, M::ringtoneAddress, V::melody, {}, {}, K::event, {}},
    // The ringtone dialog's Beats/Min and Staccato.
    {"ringtoneBeatsPerMinute",
     "Beats/Min",
     P::ringtone,
     M::ringtoneAddress,
     V::number,
     {25, 600},
     {},
     K::event,
     {}},
    {"ringtoneStaccato", "Staccato", P::ringtone, M::ringtoneAddress, V::flag, {0, 1}, {}, K::event, {}},
    {"soundFile", "Wave File", P::soundMemory, 0, V::path, {}, {}, K::event, {}},
}};

static_assert(std::all_of(formExchangeOrder.begin(), formExchangeOrder.end(), [](FormField field) {
    const auto index = static_cast<std::size_t>(field);
    return table[index].field == field;
}));

} // namespace

std::span<const SettingRow> settingsTable() {
    return table;
}

const SettingRow* findSetting(std::string_view key) {
    const auto row =
        std::find_if(table.begin(), table.end(), [key](const SettingRow& r) { return r.key == key; });
    return row == table.end() ? nullptr : &*row;
}

const SettingRow& settingOf(FormField field) {
    return table[static_cast<std::size_t>(field)];
}

bool inSettingsText(const SettingRow& row) {
    return row.place != SettingPlace::formOnly && !inSetupOnly(row);
}

bool inSetupOnly(const SettingRow& row) {
    return row.place == SettingPlace::ringtone || row.place == SettingPlace::soundMemory;
}

std::string modeNumberText(const SettingRow& row, std::string_view value) {
    const auto named = std::find(row.names.begin(), row.names.end(), value);
    return named == row.names.end() ? std::string(value) : std::to_string(named - row.names.begin());
}

std::string modeNameText(const SettingRow& row, std::string_view number) {
    const std::optional<int> index = parseInteger(number);
    return index && *index >= 0 && *index < static_cast<int>(row.names.size())
               ? std::string(row.names[*index])
               : std::string(number);
}

std::string acceptedNames(const SettingRow& row) {
    std::string text = "takes ";
    for (std::size_t i = 0; i < row.names.size(); ++i)
        text.append(i == 0 ? "" : i + 1 == row.names.size() ? " or " : ", ").append(row.names[i]);
    return text;
}
