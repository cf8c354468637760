#pragma once

#include "settings/IniRecord.h"

class Form1;
class Platform;
class SettingsFile;
class Signboard;

// Carries the settings between the settings file and the windows: at start-up onto the bus, its
// signboard, the sign and the control desk; at the end from there back into the file.
class BusSettings {
public:
    BusSettings(Form1& bus, Signboard& signboard, SettingsFile& file, Platform& platform);

    // Reads the file and applies what it holds. A file that is missing or cannot be used gives
    // the arrangement of a first run.
    void load();
    // Writes the present arrangement; a failure is reported, and the program goes on.
    void save();

private:
    bool apply(const IniRecord::Values& v);
    void applyPlaces(const IniRecord::Values& v);
    void applySignboard(const IniRecord::Values& v);
    void recover();
    void collect(IniRecord::Values& v);
    void placePanelUnderBusOnceFramed();

    Form1& m_bus;
    Signboard& m_signboard;
    SettingsFile& m_file;
    Platform& m_platform;
};
