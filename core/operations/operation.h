#pragma once
// What every operation works with: the link, the person, the form and the values.

class OperatorPanel;
class SettingsView;
class TimerSession;
struct TimerSettings;

struct OperationContext {
    TimerSession& session;
    OperatorPanel& panel;
    SettingsView& view;
    TimerSettings& settings;
};

// The outcome of an operation whose operator can cancel it.
enum class Outcome { done, cancelled, failed };
