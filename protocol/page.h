// The protocol of one finished test: a self-contained HTML5 page in Russian (UTF-8, inline CSS
// and SVG, no script, nothing fetched) that prints on one A4 page in portrait.
#pragma once

#include <string>
#include <vector>

#include "protocol/session.h"
#include "protocol/summary.h"

namespace tavrik::protocol {

// Text made safe for HTML, in an element or an attribute.
std::string EscapeHtml(const std::string& text);

// The page; `earlier` are the subject's earlier sessions of this test, newest first.
std::string RenderProtocol(const Session& s, const std::vector<const SummaryRow*>& earlier);

}  // namespace tavrik::protocol
