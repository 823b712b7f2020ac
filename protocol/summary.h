// "Отчет/Сводка.csv", one row per completed test of any kind with its figures per hand, and
// "Отчет/Протоколы.html", the index of every protocol made again from it, newest first.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "protocol/records.h"
#include "protocol/session.h"

namespace tavrik::protocol {

// The summary's columns, in order.
const std::vector<std::string>& SummaryHeader();
// The header row as the file begins with it (CR LF included, without the byte-order mark).
std::string SummaryHeaderText();

// One row of the summary as read back: its fields in the header's order.
struct SummaryRow {
  int line = 0;
  std::vector<std::string> fields;
  const std::string& Get(const std::string& column) const;  // "" for an unknown column
};

// The row of a finished test; `protocol_file` is its protocol's file name.
SummaryRow MakeSummaryRow(const Session& s, const std::string& protocol_file);
std::string SummaryRowText(const SummaryRow& row);

// The rows of a summary text with its header; `file` names it in problems.
std::vector<SummaryRow> ReadSummary(std::string_view text, const std::string& file,
                                    std::vector<ReadProblem>* problems);

// The index page over `rows` (any order; shown newest first). Links go to "Протоколы/<file>".
std::string RenderIndex(const std::vector<SummaryRow>& rows);

// The rows of the same subject's earlier sessions of the same test, newest first.
std::vector<const SummaryRow*> EarlierSessions(const std::vector<SummaryRow>& rows,
                                               const Session& s);
// The same among `rows` alone (any rows; those of other subjects and tests are passed over).
std::vector<const SummaryRow*> EarlierSessions(const std::vector<const SummaryRow*>& rows,
                                               const Session& s);

}  // namespace tavrik::protocol
