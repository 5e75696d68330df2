#pragma once
// The seam between timer operations and the settings form that shows a timer: the form's
// controls, the enabling rules, the port list, the link buttons and the identity line.
// No Qt types may appear here.

#include <string_view>

struct TimerSettings;

class SettingsView {
public:
    virtual ~SettingsView() = default;

    // Form exchange: the operator's controls into settings (with checks; false after the
    // first failing field, which has been reported), and settings into the controls.
    virtual bool readForm(TimerSettings& settings) = 0;
    virtual void showForm(const TimerSettings& settings) = 0;
    // updateTransmitModeControls, updateAudioModeControls, updateRecoveryBeaconControls, in that order.
    virtual void updateModeControls(const TimerSettings& settings) = 0;

    // Port number attached to the selected port-list entry, -1 when nothing is selected.
    virtual int selectedPortNumber() = 0;
    virtual void setIdentityText(std::string_view text) = 0;
    // Enables the five link buttons exactly when connected is true.
    virtual void updateLinkControls(bool connected) = 0;
};
