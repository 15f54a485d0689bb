// The application profile: per-user layout values (columns, sort keys,
// window placements, splitter positions) kept with QSettings under
// organisation "Veltrane Corporation", application "Tarnwick".
#pragma once

#include <QByteArray>
#include <QString>

namespace AppProfile {

inline constexpr char kOrganisation[] = "Veltrane Corporation";
inline constexpr char kApplication[] = "Tarnwick";

// Sets the organisation and application names on the core application.
// Called once at start by every program that uses the profile.
void Init();

// A section may hold backslashes ("splt\init_v103"): each becomes a nested
// group. An empty key names the section's unnamed value, stored as "Default".
int ReadInt(const QString& section, const QString& key, int defaultValue);
QByteArray ReadBinary(const QString& section, const QString& key);
bool HasValue(const QString& section, const QString& key);

// Writes are synced at once; false when the profile could not be written.
bool WriteInt(const QString& section, const QString& key, int value);
bool WriteBinary(const QString& section, const QString& key, const QByteArray& value);

} // namespace AppProfile
