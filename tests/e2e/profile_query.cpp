// Runs profile queries through our portable reader and writer and prints
// the results in the form profile_probe.exe prints the Windows functions'.
// Usage: profile_query INI_PATH QUERY_FILE.
#include <cstdio>
#include <string>

#include "app/profile_file.h"
#include "tests/e2e/drivers/profile_queries.h"

int main(int argc, char** argv) {
  using namespace r7700;
  if (argc != 3) {
    std::fprintf(stderr, "usage: profile_query INI_PATH QUERY_FILE\n");
    return 64;
  }
  std::string query_text;
  if (ReadWholeFile(argv[2], query_text) != FileReadResult::kRead) {
    std::fprintf(stderr, "profile_query: cannot read %s\n", argv[2]);
    return 1;
  }
  std::string problems;
  for (const ProfileQuery& query : ParseProfileQueries(query_text, &problems)) {
    std::string text;
    if (ReadWholeFile(argv[1], text) == FileReadResult::kFailed) {
      std::fprintf(stderr, "profile_query: cannot read %s\n", argv[1]);
      return 1;
    }
    if (query.write) {
      WriteWholeFile(argv[1], WriteProfileString(text, query.section, query.key, query.text));
      std::printf("%s\n", DescribeQuery(query, {}).c_str());
      continue;
    }
    const std::string value =
        ReadProfileString(text, query.section, query.key, query.text, query.buffer_size);
    std::printf("%s\n", DescribeQuery(query, value).c_str());
  }
  std::fputs(problems.c_str(), stderr);
  return problems.empty() ? 0 : 1;
}
