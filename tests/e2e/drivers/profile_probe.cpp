// Runs profile queries through the Windows profile functions themselves and
// prints the results, for comparison with our portable reader.
// Usage: profile_probe INI_PATH QUERY_FILE (Windows paths).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/drivers/profile_queries.h"

namespace {

bool ReadText(const char* path, std::string& text) {
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  char chunk[4096];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
  std::fclose(file);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: profile_probe INI_PATH QUERY_FILE\n");
    return 64;
  }
  std::string query_text;
  if (!ReadText(argv[2], query_text)) {
    std::fprintf(stderr, "profile_probe: cannot read %s\n", argv[2]);
    return 1;
  }
  std::string problems;
  for (const r7700::ProfileQuery& query : r7700::ParseProfileQueries(query_text, &problems)) {
    if (query.write) {
      WritePrivateProfileStringA(query.section.c_str(), query.key.c_str(), query.text.c_str(),
                                 argv[1]);
      std::printf("%s\n", r7700::DescribeQuery(query, {}).c_str());
      continue;
    }
    std::vector<char> buffer(query.buffer_size + 1, '\0');
    const DWORD length =
        GetPrivateProfileStringA(query.section.c_str(), query.key.c_str(), query.text.c_str(),
                                 buffer.data(), static_cast<DWORD>(query.buffer_size), argv[1]);
    std::printf("%s\n", r7700::DescribeQuery(query, std::string(buffer.data(), length)).c_str());
  }
  std::fputs(problems.c_str(), stderr);
  return problems.empty() ? 0 : 1;
}
