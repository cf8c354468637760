#pragma once

#include "result/Result.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The settings file's one record: sixteen comma-separated items on one line, in a fixed order,
// without names. Writer and reader agree item by item; the reader is forgiving where files in
// the wild need it (a number that is no number reads as 0) and strict where it must be (too
// few items).
namespace IniRecord {

inline constexpr int kItemCount = 16;

// What a file carries, by item number.
struct Values {
    float form1Left { 0 };        // 1
    float form1Top { 0 };         // 2
    float panelLeft { 0 };        // 3
    float panelTop { 0 };         // 4
    QString signFolder;           // 5
    QString reservedText;         // 6
    qint32 reservedNumber1 { 0 }; // 7
    qint32 reservedNumber2 { 0 }; // 8
    QString signboardPath;        // 9
    float signboardLeft { 0 };    // 10
    float signboardTop { 0 };     // 11
    bool signboardShown { true }; // 12
    bool frameShown { true };     // 13
    qint32 frontSpeed { 0 };      // 14; a value outside the sliders' range is refused when applied
    qint32 middleSpeed { 0 };     // 15
    qint16 mode { 0 };            // 16
};

// One line ended by CR LF. Texts in the system's 8-bit encoding, in double quotes, an inner
// quote doubled; numbers with "." whatever the locale; booleans as #TRUE# and #FALSE#.
QByteArray write(const Values& values);

// Reads the record into `into`: a failure (Malformed) unless every item was read. Items are
// taken over one by one, so after a failure the items before it hold what was read; itemsRead,
// when given, counts them.
Result<void> read(const QByteArray& file, Values& into, int* itemsRead = nullptr);

// A number item as a 32-bit integer: the nearest whole number, halves to even; nothing when it
// does not fit.
std::optional<qint32> toInt32(double value);

} // namespace IniRecord
