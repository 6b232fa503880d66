// cpsctl: a command-line host of the codeplug services component, for people and scripts.
#include "host.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

namespace {

// Exit codes, as listed in --help.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // the component or the radio refused the operation
constexpr int kExitUsage = 2;    // the command line was wrong

constexpr const char* kExitCodes =
    "Exit codes:\n"
    "  0  success\n"
    "  1  the operation failed (the message and HRESULT are printed)\n"
    "  2  the command line is wrong\n";

int list_errors() {
  cpsctl::Component component(1);
  // Code 13 (a block image that is too short) has no message of its own.
  std::printf("%4d  %s  %s\n", 13, cpsctl::hresult_text(static_cast<HRESULT>(0x8004090D)).c_str(),
              "(no message)");
  for (int code = 103; code <= 135; ++code) {
    const HRESULT hr = static_cast<HRESULT>(0x80040000u | (0x900u + static_cast<unsigned>(code)));
    const std::string text = component.message(hr);
    if (text.empty()) continue;
    std::printf("%4d  %s  %s\n", code, cpsctl::hresult_text(hr).c_str(), text.c_str());
  }
  return kExitOk;
}

int show_range(long field, int generation) {
  cpsctl::Component component(generation);
  double minimum = 0, maximum = 0, step = 0;
  component.check(component->GetRangeInfo(static_cast<LONG>(field), &minimum, &maximum, &step));
  std::printf("field %ld: minimum %g, maximum %g, step %g\n", field, minimum, maximum, step);
  return kExitOk;
}

// What the component can show so far: its messages, a few range rows, the alias check.
int demo() {
  std::printf("== the component's error codes\n");
  list_errors();
  std::printf("\n== range rows\n");
  for (long field : {207L, 424L, 90L, 159L}) show_range(field, 1);
  std::printf("\n== alias check\n");
  cpsctl::Component component(1);
  for (const wchar_t* alias : {L"BASE 1", L"TAB\tHERE"}) {
    BSTR text = SysAllocString(alias);
    const HRESULT hr = component->ValidateAlias(text);
    SysFreeString(text);
    std::printf("%-10ls %s\n", alias,
                SUCCEEDED(hr) ? "valid" : (component.message(hr) + " (" + cpsctl::hresult_text(hr) + ")").c_str());
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"cpsctl - codeplug services from the command line"};
  app.footer(kExitCodes);
  app.require_subcommand(1);

  auto* errors = app.add_subcommand("errors", "every error code with its HRESULT and message");

  long field = 0;
  int generation = 1;
  auto* range = app.add_subcommand("range", "the minimum, maximum and step of a field");
  range->add_option("FIELD", field, "field ID")->required();
  range->add_option("--gen", generation, "radio generation (1 or 2)")->check(CLI::IsMember({1, 2}));

  auto* demo_command = app.add_subcommand("demo", "show what the component does");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }

  try {
    if (errors->parsed()) return list_errors();
    if (range->parsed()) return show_range(field, generation);
    if (demo_command->parsed()) return demo();
  } catch (const cpsctl::Failure& f) {
    std::fprintf(stderr, "error: %s (%s)\n", f.message.empty() ? "failed" : f.message.c_str(),
                 cpsctl::hresult_text(f.hr).c_str());
    return kExitFailure;
  }
  return kExitUsage;
}
