// The bs_ functions are described in three files besides the code: the README's table, the
// lua-language-server definitions (editor/definitions/quarnel.d.lua) and the luacheck
// standard (editor/luacheckrc). Each must name the functions of the registration table in
// its order, and the README and the definitions must give each the number of arguments the
// table gives it. The contract's globals must be the same in all three too.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "script/ScriptApi.h"
#include "tests/ToolRun.h"

namespace {

using tool_test::ReadSource;

struct TDeclared {
  std::string name;
  int arguments = -1;  // -1 where the file does not say
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::string Trim(const std::string& s) {
  const size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// "none" is 0; otherwise the entries separated by commas outside parentheses, as in
// "x, y (pixels), p (pen pressure 0..1)".
int CountArguments(const std::string& cell) {
  if (cell == "none") return 0;
  int count = 1;
  int depth = 0;
  for (char c : cell) {
    if (c == '(') ++depth;
    if (c == ')') --depth;
    if (c == ',' && depth == 0) ++count;
  }
  return count;
}

// The names of a name cell: "`bs_debug`", or a range "`bs_param1` .. `bs_param10`".
std::vector<std::string> ExpandNames(const std::string& cell) {
  static const std::regex range("`([a-z_]+?)(\\d+)` \\.\\. `([a-z_]+?)(\\d+)`");
  static const std::regex single("`([a-z_0-9]+)`");
  std::smatch m;
  std::vector<std::string> names;
  if (std::regex_match(cell, m, range) && m[1] == m[3]) {
    for (int i = std::stoi(m[2]); i <= std::stoi(m[4]); ++i)
      names.push_back(m[1].str() + std::to_string(i));
  } else if (std::regex_match(cell, m, single)) {
    names.push_back(m[1]);
  }
  return names;
}

// The rows of the first table after the heading, as trimmed cells, without the header row
// and the rule below it.
std::vector<std::vector<std::string>> ReadmeTable(const std::string& heading) {
  std::vector<std::vector<std::string>> rows;
  bool inSection = false;
  bool inTable = false;
  for (const std::string& line : Lines(ReadSource("README.md"))) {
    if (line.rfind("#", 0) == 0) {
      if (inSection) break;
      inSection = line == heading;
      continue;
    }
    if (!inSection) continue;
    if (line.rfind("|", 0) != 0) {
      if (inTable) break;
      continue;
    }
    const bool header = !inTable;
    inTable = true;
    if (header || line.rfind("|---", 0) == 0) continue;
    std::vector<std::string> cells;
    std::istringstream in(line.substr(1));
    std::string cell;
    while (std::getline(in, cell, '|')) cells.push_back(Trim(cell));
    rows.push_back(cells);
  }
  return rows;
}

// README "### The 58 functions": | # | function | arguments | results |. The numbers must
// count on from 1, a range row covering as many numbers as it names functions.
std::vector<TDeclared> ReadmeFunctions() {
  std::vector<TDeclared> declared;
  for (const std::vector<std::string>& row : ReadmeTable("### The 58 functions")) {
    if (row.size() < 3) {
      ADD_FAILURE() << "README: a row of the function table has too few cells";
      continue;
    }
    const std::vector<std::string> names = ExpandNames(row[1]);
    EXPECT_FALSE(names.empty()) << "README: cannot read the function cell " << row[1];
    const std::string first = std::to_string(declared.size() + 1);
    const std::string last = std::to_string(declared.size() + names.size());
    EXPECT_EQ(row[0], names.size() == 1 ? first : first + "-" + last)
        << "README: the number of " << row[1];
    for (const std::string& name : names) declared.push_back({name, CountArguments(row[2])});
  }
  return declared;
}

// README "### The contract": | global | called | arguments | results |.
std::vector<TDeclared> ReadmeContract() {
  std::vector<TDeclared> declared;
  for (const std::vector<std::string>& row : ReadmeTable("### The contract")) {
    if (row.size() < 3) continue;
    for (const std::string& name : ExpandNames(row[0])) {
      declared.push_back({name, CountArguments(row[2])});
    }
  }
  return declared;
}

// Every "function name(a, b) end" of the definitions, whose parameters must each be
// documented by a "---@param" line of the comment above it, in order.
std::vector<TDeclared> Definitions(bool hostFunctions) {
  static const std::regex function("^function ([A-Za-z_0-9]+)\\(([^)]*)\\) end$");
  static const std::regex param("^---@param ([A-Za-z_0-9]+) .*");
  std::vector<TDeclared> declared;
  std::vector<std::string> documented;
  for (const std::string& line : Lines(ReadSource("editor/definitions/quarnel.d.lua"))) {
    std::smatch m;
    if (std::regex_match(line, m, param)) {
      documented.push_back(m[1]);
      continue;
    }
    if (!std::regex_match(line, m, function)) {
      if (line.rfind("---", 0) != 0) documented.clear();
      continue;
    }
    std::vector<std::string> parameters;
    std::istringstream in(m[2].str());
    std::string p;
    while (std::getline(in, p, ',')) parameters.push_back(Trim(p));
    EXPECT_EQ(documented, parameters) << "definitions: the @param lines of " << m[1];
    documented.clear();
    if ((m[1].str().rfind("bs_", 0) == 0) == hostFunctions) {
      declared.push_back({m[1], static_cast<int>(parameters.size())});
    }
  }
  return declared;
}

// The quoted names of the list "key = { ... }" in the luacheck configuration.
std::vector<TDeclared> LuacheckList(const std::string& key) {
  const std::string text = ReadSource("editor/luacheckrc");
  const std::regex list("\\n\\s*" + key + " = \\{([^}]*)\\}");
  std::smatch m;
  std::vector<TDeclared> declared;
  if (!std::regex_search(text, m, list)) return declared;
  static const std::regex quoted("\"([^\"]+)\"");
  const std::string body = m[1];
  for (auto it = std::sregex_iterator(body.begin(), body.end(), quoted);
       it != std::sregex_iterator(); ++it) {
    declared.push_back({(*it)[1], -1});
  }
  return declared;
}

// Compares a file's list with the registration table and names the first difference.
void ExpectRegistrationTable(const char* file, const std::vector<TDeclared>& declared) {
  SCOPED_TRACE(file);
  ASSERT_EQ(declared.size(), pavo::kScriptFunctionCount);
  for (size_t i = 0; i < declared.size(); ++i) {
    const pavo::TScriptFunction& f = pavo::kScriptFunctions[i];
    ASSERT_EQ(declared[i].name, f.name) << "function " << i + 1;
    if (declared[i].arguments >= 0) {
      EXPECT_EQ(declared[i].arguments, f.arguments) << "arguments of " << f.name;
    }
  }
}

TEST(ApiLists, ReadmeTableNamesTheRegisteredFunctionsWithTheirArguments) {
  ExpectRegistrationTable("README.md", ReadmeFunctions());
}

TEST(ApiLists, DefinitionsDeclareTheRegisteredFunctionsWithTheirArguments) {
  ExpectRegistrationTable("editor/definitions/quarnel.d.lua", Definitions(true));
}

TEST(ApiLists, LuacheckStandardHasTheRegisteredFunctionsReadOnly) {
  ExpectRegistrationTable("editor/luacheckrc", LuacheckList("read_globals"));
}

// The globals a script may define: the README's contract table is the reference.
TEST(ApiLists, ContractIsTheSameInReadmeDefinitionsAndLuacheck) {
  const std::vector<TDeclared> readme = ReadmeContract();
  ASSERT_EQ(readme.size(), 14u) << "param1..param10, default_size, use_base, main, last";
  const std::vector<TDeclared> definitions = Definitions(false);
  const std::vector<TDeclared> luacheck = LuacheckList("globals");
  ASSERT_EQ(definitions.size(), readme.size());
  ASSERT_EQ(luacheck.size(), readme.size());
  for (size_t i = 0; i < readme.size(); ++i) {
    EXPECT_EQ(definitions[i].name, readme[i].name);
    EXPECT_EQ(definitions[i].arguments, readme[i].arguments) << readme[i].name;
    EXPECT_EQ(luacheck[i].name, readme[i].name);
  }
}

}  // namespace
