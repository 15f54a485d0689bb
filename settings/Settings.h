// The output settings of the application, their Config.ini file and the
// output summary text.
#pragma once

#include <QString>
#include <cstdint>

// The output settings, named after their Config.ini keys.
struct CSettings
{
    int32_t SameAsSrc = 0;                     // nonzero: ask for the output path at every join
    QString DesDir;                            // output folder, ends with '/'
    QString LastDir;                           // folder selected in the folder tree at the last close
    QString Name = QStringLiteral("Untitled"); // default output file name, without extension
    int16_t LameBits = 11;                     // index into k_aBitrateTable
    int16_t LameChannel = 0; // 0 automatic, 1 mono, 2 stereo, 3 joint stereo, 4 dual channel
    int16_t Freq = 0;        // index into k_aFreqTable; 0 = automatic
};

extern CSettings g_Settings;

// Bit rates in kbit/s, indexed by LameBits.
inline constexpr int k_aBitrateTable[17] = {8,  16,  24,  32,  40,  48,  56,  64, 80,
                                            96, 112, 128, 160, 192, 224, 256, 320};
// Sample rates in Hz, indexed by Freq; 0 = automatic.
inline constexpr int k_aFreqTable[10] = {0, 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

// Folder that holds Config.ini, without a trailing '/'; set by StartSettings.
extern QString g_strAppDataFolder;

QString ConfigFilePath();
// The music folder, else the desktop folder, else the home folder; always
// with a trailing '/'.
QString DefaultOutputFolder();
// Reads every key of Config.ini into g_Settings. 1 on success, 0 after an error.
int LoadSettings();
// Writes every key, lastDir as LastDir. 1 on success, 0 after an error.
int SaveSettings(const QString& lastDir);
// The start steps: default output folder, application-data folder (created
// when missing), then Config.ini loaded or created empty. Messages go
// through the host hooks.
void StartSettings();
// The text of the output summary in the status bar, with its two leading blanks.
QString OutputSummaryText();
// Replaces each of / " < > | * ? : by '_'.
QString SanitizeFileName(const QString& text);

// The bit rate and sample rate the indexes select, within the tables.
int SelectedBitrate();
int SelectedFrequency();
