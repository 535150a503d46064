// The payload examples of docs/protocol.md, checked against the decoder: every table row
// `| description | `hex bytes` | `answer` |` must decode to exactly its answer.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/hex.h"
#include "payload_line.h"

namespace tarnu::tools {
namespace {

constexpr std::string_view kErrorPrefix = "decode input command: ";

std::string_view trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The cells of a table row, split at the pipes that are not escaped; nothing for another line.
std::optional<std::vector<std::string_view>> table_cells(std::string_view line) {
  line = trim(line);
  if (line.size() < 2 || line.front() != '|' || line.back() != '|') {
    return std::nullopt;
  }
  std::vector<std::string_view> cells;
  std::size_t start = 1;
  for (std::size_t at = 1; at < line.size(); ++at) {
    if (line[at] == '|' && line[at - 1] != '\\') {
      cells.push_back(trim(line.substr(start, at - start)));
      start = at + 1;
    }
  }
  return cells;
}

// The text of a cell that is one code span: a run of backticks, text holding no run of the
// same length, the same run; one space is dropped at each end when both ends have one.
std::optional<std::string> code_span(std::string_view cell) {
  const std::size_t fence = std::min(cell.find_first_not_of('`'), cell.size());
  if (fence == 0 || cell.size() <= 2 * fence ||
      cell.substr(cell.size() - fence) != std::string(fence, '`') ||
      cell[cell.size() - fence - 1] == '`') {
    return std::nullopt;
  }
  std::string_view text = cell.substr(fence, cell.size() - 2 * fence);
  for (std::size_t at = text.find('`'); at != std::string_view::npos;) {
    const std::size_t end = std::min(text.find_first_not_of('`', at), text.size());
    if (end - at == fence) {
      return std::nullopt;
    }
    at = text.find('`', end);
  }
  if (text.size() >= 2 && text.front() == ' ' && text.back() == ' ' && trim(text).size() != 0) {
    text = text.substr(1, text.size() - 2);
  }
  return std::string(text);
}

struct Example {
  int line;
  std::string payload;  // hex without spaces
  std::optional<std::string> answer;
};

// Every row whose second of three cells is a code span of hex bytes (spaces between them).
std::vector<Example> page_examples(std::istream& page) {
  std::vector<Example> examples;
  std::string line;
  for (int number = 1; std::getline(page, line); ++number) {
    const auto cells = table_cells(line);
    if (!cells || cells->size() != 3) {
      continue;
    }
    std::string payload = code_span((*cells)[1]).value_or("");
    std::erase(payload, ' ');
    if (!payload.empty() && parse_hex(payload)) {
      examples.push_back({number, payload, code_span((*cells)[2])});
    }
  }
  return examples;
}

TEST(ProtocolPage, EveryPayloadExampleDecodesToItsAnswer) {
  std::ifstream page(TARNU_PROTOCOL_PAGE);
  ASSERT_TRUE(page) << "cannot read " << TARNU_PROTOCOL_PAGE;
  const std::vector<Example> examples = page_examples(page);
  // A change of the rows' shape that this reader no longer recognises must not pass as a
  // page without examples.
  EXPECT_GE(examples.size(), 40u);

  std::set<std::string> commands;
  for (const Example& example : examples) {
    if (!example.answer) {
      ADD_FAILURE() << "line " << example.line << ": the answer is no code span";
      continue;
    }
    const std::string& answer = *example.answer;
    const bool refused = answer.starts_with(kErrorPrefix);
    EXPECT_EQ(answer_line(example.payload), (refused ? "ERR " : "OK ") + answer)
        << "line " << example.line;
    if (!refused) {
      commands.insert(answer.substr(0, answer.find(' ')));
    }
  }
  EXPECT_EQ(commands, (std::set<std::string>{"Key", "MouseButton", "MouseMove", "ReleaseAll",
                                             "Scroll", "SecureAttention"}));
}

}  // namespace
}  // namespace tarnu::tools
