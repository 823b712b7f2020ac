// The timing record files beside each report file: "<report name>.csv" with one row per press of
// a hand key while a level ran (how it was taken, and how early or late it came), and
// "<report name>-кадры.csv" with one row per level (how regularly its frames came). WriteReport
// appends the finished test's rows right after its report block.
//
// The format is the European one that Russian-locale spreadsheets open by a double click and R
// reads with read.csv2: UTF-8 with a byte-order mark, ";" between fields, "," as the decimal
// mark, no thousands separators, CR LF line ends. The header row and the byte-order mark are
// written once, when a file is created. A text field is quoted only when it needs to be (a ";",
// a quote, a line end, or blanks at either end, as a name typed with outer blanks has).
#pragma once

#include <string>

#include "engine/session_state.h"

namespace tavrik {

// The record files of a test kind, beside its report file ("Круговая.csv",
// "Круговая-кадры.csv"; UTF-8), or an empty string for a kind that has no report file.
std::string PressRecordFileName(Integer test_kind);
std::string FrameRecordFileName(Integer test_kind);

// The UTF-8 byte-order mark, which a file gets in front of its header row.
extern const char kUtf8Bom[];

// The header rows, CR LF included, without the byte-order mark.
std::string PressRecordHeader();
std::string FrameRecordHeader();

// The finished test's rows from s.Timing, each starting with the subject's name and `now` as
// line 2 of the test's report block shows it. Presses in the order they were handled; levels 1
// to 4.
std::string BuildPressRows(const SessionState& s, const LocalTime& now);
std::string BuildFrameRows(const SessionState& s, const LocalTime& now);

// `value` with `decimals` places after a "," (none for 0), rounded half to even, without a sign
// when it rounds to zero.
std::string RecordNumber(double value, int decimals);

// How the frames were paced, as the column "Темп" says it: "вертикальная синхронизация",
// "вертикальная синхронизация, кадр на 2 обновления экрана", "таймер 60 Гц", "измерение частоты"
// (the first second after start-up), empty when not known; "A, затем B" when it changed during the
// level.
std::string PacingText(const FramePacing& first, const FramePacing& last);

}  // namespace tavrik
