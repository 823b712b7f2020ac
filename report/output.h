// The files of a finished test, saved so that none of them is lost: each part is appended whole
// under the writers' lock (or, for a file that is made anew each time, put in place whole by a
// rename), and rolled back to exactly the bytes it found when anything fails. What cannot be
// written stays in memory, and the examiner is asked once, in one message for every such file,
// whether to try it again («Повторить») or to write it to a file of its own («Сохранить
// отдельно»): beside its own file, named with the test's date and time, or in the home (on
// Windows, documents) folder where that folder cannot be written. Only what no place takes goes
// to standard error, and into the message, which says so only where standard error goes
// somewhere.
#pragma once

#include <string>
#include <vector>

#include "engine/session_state.h"
#include "report/report.h"

namespace tavrik {

// One file's share of a finished test.
struct OutputPart {
  std::string path;    // UTF-8; its folder is made when missing
  std::string header;  // in front of the data when the file is new or empty (appended parts)
  std::string data;
  bool replace = false;  // the file's whole new content, put in place by a rename; else appended
  // What stands in front of the data on standard error when no file takes it, e.g.
  // "Результаты испытуемого «Тест» для файла …/Линейная.txt:".
  std::string label;
  // The data as the message shows it when no file takes it (the report block as UTF-8 text);
  // empty for data too long for a message (the timing record's rows).
  std::string shown;
};

// How one write of a part failed.
struct WriteFailure {
  int error = 0;          // errno of the failure
  std::string folder;     // the folder that could not be made, if that was the failure
  std::string system;     // the system's own words where errno does not say it (a folder)
  int restore_error = 0;  // errno of a rollback that failed too (-1: another writer's bytes
                          // follow the part's, which cannot be cut without cutting theirs)
  // Part of the data may be left at the end of the file: it must not be tried there again.
  bool damaged = false;
};

// Appends `data` to the file at `path` (created readable by all when absent) as a whole, with
// `header` in front when the file is new or empty, holding the writers' lock from before the
// file's end is taken until the data is on the device or cut away again. On failure the file is
// cut back to the end it had under the lock, or removed when this call made it and nobody else
// wrote to it. Returns true on success.
bool AppendWhole(const std::string& path, const std::string& header, const std::string& data,
                 const ReportIo& io, WriteFailure* failure);

// Writes `data` to the file at `path`, which must not exist yet, and removes it again when it
// cannot be written whole.
bool WriteNewFile(const std::string& path, const std::string& data, const ReportIo& io,
                  WriteFailure* failure);

// Puts a file with exactly `data` in the place of `path`: written whole under another name
// beside it first, then renamed over it.
bool ReplaceWhole(const std::string& path, const std::string& data, const ReportIo& io,
                  WriteFailure* failure);

// The examiner's words for a failure: "нет прав на запись", "диск заполнен", "файл открыт в
// другой программе, например в Excel: закройте его", …
std::string FailureText(const WriteFailure& failure, const ReportIo& io);

// The name of the file of its own that a part of `file_name` goes to when saved apart: the test's
// date and time before the extension ("Линейная.csv" -> "Линейная 2026-12-11 12-16-08.csv"), and
// " (2)", " (3)", … after it for the `attempt`th name when the first ones are taken.
std::string SeparateFileName(const std::string& file_name, const LocalTime& when, int attempt = 1);

// Writes every part, in order, by the rules above; `subject` (UTF-8) and `when` (the test's
// date and time) name the results in the messages and the separate files. Asks the examiner
// through services.AskSaveChoice while any part can be tried again. Returns what the examiner
// must still be told (where parts were saved apart, what no place took); empty when every part
// is in its own file.
std::string SaveOutputs(const std::vector<OutputPart>& parts, const std::string& subject,
                        const LocalTime& when, const SessionServices& services, const ReportIo& io);

}  // namespace tavrik
