#include "gui/settings_store.h"

#include <QSettings>
#include <QString>

#include "core/company_key.h"
#include "core/timer_settings.h"
#include "gui/program.h"

namespace {

const QString section = QStringLiteral("Settings");
const QString comPortKey = QStringLiteral("COMPort");
const QString audioFileKey = QStringLiteral("AudioFile");
const QString toneSequenceKey = QStringLiteral("ToneSequence");
const QString ringtoneFileKey = QStringLiteral("RingToneFile");
const QString setupFileKey = QStringLiteral("SetupFile");
const QString verifyWritesKey = QStringLiteral("VerifyWrites");

void loadText(const QSettings& store, const QString& key, std::string& field) {
    if (store.contains(key)) field = store.value(key).toString().toStdString();
}

} // namespace

void loadSettings(TimerSettings& settings) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(companyKey),
                    programName());
    store.beginGroup(section);
    if (store.contains(comPortKey)) {
        bool isNumber = false;
        const int port = store.value(comPortKey).toInt(&isNumber);
        if (isNumber) settings.comPort = port;
    }
    loadText(store, audioFileKey, settings.audioFilePath);
    loadText(store, toneSequenceKey, settings.toneSequenceText);
    loadText(store, ringtoneFileKey, settings.ringtoneFilePath);
}

void saveSettings(const TimerSettings& settings) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(companyKey),
                    programName());
    store.beginGroup(section);
    store.setValue(comPortKey, settings.comPort);
    store.setValue(audioFileKey, QString::fromStdString(settings.audioFilePath));
    store.setValue(ringtoneFileKey, QString::fromStdString(settings.ringtoneFilePath));
    store.setValue(toneSequenceKey, QString::fromStdString(settings.toneSequenceText));
}

WindowChoices loadWindowChoices() {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(companyKey),
                    programName());
    store.beginGroup(section);
    WindowChoices choices;
    loadText(store, setupFileKey, choices.setupFile);
    choices.verifyWrites = store.value(verifyWritesKey, 0).toInt() != 0;
    return choices;
}

void saveWindowChoices(const WindowChoices& choices) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(companyKey),
                    programName());
    store.beginGroup(section);
    store.setValue(setupFileKey, QString::fromStdString(choices.setupFile));
    store.setValue(verifyWritesKey, choices.verifyWrites ? 1 : 0);
}
