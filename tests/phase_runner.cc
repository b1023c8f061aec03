#include "phase_runner.h"

#include "lineio/date.h"
#include "lineio/errors.h"
#include "scratch.h"

namespace rodozerez::testing {
namespace {

std::vector<std::string> split_crlf(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t at; (at = bytes.find("\r\n", start)) != std::string::npos; start = at + 2) {
    lines.push_back(bytes.substr(start, at - start));
  }
  if (start < bytes.size()) lines.push_back(bytes.substr(start));  // unterminated tail
  return lines;
}

}  // namespace

PhaseResult run_phase(const std::string& input, const std::function<void(Pass&)>& phase,
                      const std::string& current, bool stylesheet, const std::string& year,
                      const std::string& date) {
  ScratchDir dir;
  write_file(dir.file("input.xml"), input);
  Folder folder = open_folder(dir.path().string());
  InputFile in = InputFile::open(folder, "input.xml");
  WorkFile work = WorkFile::create(folder);
  RunValues values{stylesheet, year, date};
  PhaseResult result;
  try {
    Pass pass{in, work, values, current, {}};
    phase(pass);
  } catch (const NumberedError& e) {
    result.error = e.number();
  }
  close_all_files(in, work);
  result.bytes = read_file(dir.file(kWorkFileName));
  result.lines = split_crlf(result.bytes);
  return result;
}

PhaseResult run_pass(const std::string& input, bool stylesheet) {
  return run_phase(
      input, [](Pass& pass) { rewrite_file(pass.input, pass.work, pass.values); }, "", stylesheet);
}

PhaseResult run_pass_today(const std::string& input, bool stylesheet) {
  std::string today = date_text();
  return run_phase(
      input, [](Pass& pass) { rewrite_file(pass.input, pass.work, pass.values); }, "", stylesheet,
      current_year_from(today), metadata_date_from(today));
}

}  // namespace rodozerez::testing
