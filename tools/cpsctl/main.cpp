// cpsctl: a command-line host of the codeplug services component, for people and scripts.
#include "commands.h"
#include "csv.h"
#include "diff.h"
#include "heap.h"
#include "host.h"
#include "name_cli.h"
#include "sim/simulated_radio.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#if defined(CPS_PROFILE_GENERATE)
extern "C" void __gcov_dump(void);
#endif

namespace {

// What `radio create --full` makes, for its help.
constexpr const char* kFullCodeplug =
    "--full makes the largest codeplug a first-generation radio holds: 255 channels and every\n"
    "other list at its own maximum for the radio's version and form: 255 personalities of 20\n"
    "members, 16 trunking systems, 16 talk-group lists of 8, 16 channel groups and 16 scan lists\n"
    "of 16 members, 250 call references, 190 FSD calls, 30 Duotone II and 30 DTMF calls, 26\n"
    "dialling numbers, 8 messages, 4 each of FSD, Duotone II, DTMF and phone systems, and with\n"
    "market classes 1 and 2 also 4 Sel Call and 4 SDT systems (trunking systems and\n"
    "personalities from version 03 on). The image then takes about 58,000 of the 64,768 bytes\n"
    "from 0x300 to 0xFFFF.";

// What `radio create --gen 2` makes, for its help.
constexpr const char* kGen2Radio =
    "--gen 2 makes a second-generation radio: its codeplug holds every block the component has a\n"
    "handler for (the retained radio block 2867 under codeplug version 04 only): the channel list\n"
    "(--channels), three channel profiles, one scan list, no option board. The model must be one of\n"
    "the \"gen2\" rows of the model file (the shipped models.json lists both factory models).\n"
    "--band, --mobile, --market-class and --full are the first generation's and are refused.";

constexpr const char* kFooter =
    "Files: a codeplug is JSON ({\"generation\": 1, \"blocks\": [{\"id\", \"kind\", \"record\"}...]}, field\n"
    "rows as [id, \"text\", attribute]); a radio is a simulated radio's JSON file. Every output file\n"
    "is written whole or not at all. The model tables come from CPSERVICES_MODELS, by default the\n"
    "models.json shipped with cpsctl.\n"
    "\n"
    "A second-generation codeplug file holds the header (2002), the presence and address tables\n"
    "(2027, 2028) and each data block present that the component has a handler for. A codeplug\n"
    "whose presence table marks present a block without a handler (the component carries it only\n"
    "as the radio's bytes) cannot be saved to a file: read, write and set refuse it, naming the\n"
    "block.\n"
    "\n"
    "Exit codes:\n"
    "  0  success (write, clone: the radio read back as written, \"verified\")\n"
    "  1  the operation failed: \"error: <message> (<HRESULT>)[: <what it concerned>]\"; write, clone:\n"
    "     also when the pre-flight check finds the radio would not read the codeplug back as written\n"
    "     (each finding is listed; nothing is written; --force writes anyway)\n"
    "  2  the command line is wrong\n"
    "  3  write, clone: the radio was written but reads back otherwise (each difference is listed)\n"
    "     or cannot be read back\n";

// The options the device commands share.
void add_device_options(CLI::App* command, cpsctl::DeviceOptions& options) {
  command->add_option("--fail", options.failures,
                      "make a call of the simulated radio fail (for tests): read|write|ioctl[=COMMAND]:N:HRESULT"
                      "[:BYTES], the Nth such call answers HRESULT, a write storing BYTES first");
}

// The block of export-csv and import-csv, optional: the channel list when it is not given.
CLI::Option* add_csv_block(CLI::App* command, long& block) {
  return command->add_option("BLOCK", block, "a block of entries (the channel list: 38, or 2018 in generation 2)")
      ->check(CLI::Range(0L, 2147483647L));
}

void add_write_options(CLI::App* command, cpsctl::WriteOptions& options) {
  add_device_options(command, options.device);
  command->add_flag("--no-backup", options.no_backup,
                    "do not save the radio's codeplug first (RADIO.backup-<date>-<time>.json)");
  command->add_flag("--no-verify", options.no_verify, "do not read the radio back and compare");
  command->add_flag("--force", options.force,
                    "write even what the pre-flight check finds the radio would not read back as written "
                    "(its findings are shown as warnings)");
}

}  // namespace

namespace {

int run(int argc, char** argv) {
  cpsctl::use_shipped_models(argv[0]);

  CLI::App app{"cpsctl - codeplug services from the command line"};
  app.footer(kFooter);
  app.require_subcommand(1);

  std::string radio, codeplug, obd;
  std::string output;
  std::vector<CLI::Option*> output_options;  // set when one of them was given

  // radio create
  auto* radio_group = app.add_subcommand("radio", "simulated radios");
  radio_group->require_subcommand(1);
  cpsctl::RadioOptions radio_options;
  auto* create = radio_group->add_subcommand("create", "write a simulated radio file with a factory codeplug");
  create->add_option("RADIO", radio, "radio file to write")->required();
  create->add_option("--gen", radio_options.generation, "radio generation (1 or 2)")
      ->required()
      ->check(CLI::IsMember({1, 2}));
  const cps::sim::Gen2FactoryOptions gen2_factory;
  auto* serial = create->add_option("--serial", radio_options.serial,
                                    "serial number, up to 10 characters (default " + radio_options.serial +
                                        "; --gen 2: " + gen2_factory.serial + ")");
  auto* model = create->add_option("--model", radio_options.model,
                                   "model number, up to 16 characters (default " + radio_options.model +
                                       "; --gen 2: " + gen2_factory.model + ", or " +
                                       cps::sim::kGen2MobileModel + " for a mobile)");
  auto* version = create->add_option("--version", radio_options.version,
                                     "codeplug version: four digits up to 0799 (default " + radio_options.version +
                                         "); --gen 2: NN.NN up to 04.99 (default " + gen2_factory.version + ")");
  auto* band = create->add_option("--band", radio_options.band, "VHF or UHF (generation 1)")->capture_default_str();
  auto* mobile = create->add_flag("--mobile", radio_options.mobile, "a mobile radio rather than a portable one (generation 1)");
  auto* market_class = create->add_option("--market-class", radio_options.market_class,
                     "0, 1 or 2 (2: the \"Japan\" region); 1 and 2 take the factory's market-class-1 model "
                     "unless --model names another (generation 1)")
      ->capture_default_str()
      ->check(CLI::IsMember({0, 1, 2}));
  auto* channels = create->add_option("--channels", radio_options.channels,
                                      "channels in the factory channel list: 1 to 255 (default " +
                                          std::to_string(radio_options.channels) + "); --gen 2: 1 to 100 (default " +
                                          std::to_string(gen2_factory.channels) + ")");
  auto* full = create->add_flag("--full", radio_options.full,
                                "the largest codeplug: every list at its maximum (below; generation 1)")
                   ->excludes(channels);
  create->add_flag("--force", radio_options.force, "replace RADIO when it exists");
  create->footer(std::string(kFullCodeplug) + "\n\n" + kGen2Radio);

  cpsctl::DeviceOptions device;
  cpsctl::WriteOptions write_options;

  auto* read = app.add_subcommand("read", "read a radio's codeplug (ReadDevice) and save it");
  read->add_option("RADIO", radio, "radio file")->required();
  output_options.push_back(
      read->add_option("-o,--output", output, "codeplug file to write (standard output without it)"));
  add_device_options(read, device);

  auto* write = app.add_subcommand(
      "write", "write a codeplug into a radio (WriteDevice): back the radio up, write, read back and compare");
  write->add_option("RADIO", radio, "radio file")->required();
  write->add_option("CODEPLUG", codeplug, "codeplug file")->required();
  add_write_options(write, write_options);

  auto* clone = app.add_subcommand(
      "clone", "clone a codeplug into another radio of its model (CloneDevice): back up, clone, compare");
  clone->add_option("RADIO", radio, "radio file")->required();
  clone->add_option("CODEPLUG", codeplug, "codeplug file")->required();
  add_write_options(clone, write_options);

  auto* reset = app.add_subcommand("reset", "restart a radio (ResetDevice)");
  reset->add_option("RADIO", radio, "radio file")->required();
  add_device_options(reset, device);

  auto* info = app.add_subcommand("info", "whether a radio is the codeplug's, and the versions (GetUpdInfo)");
  info->add_option("RADIO", radio, "radio file")->required();
  info->add_option("CODEPLUG", codeplug, "codeplug file")->required();
  add_device_options(info, device);

  auto* import = app.add_subcommand("import-obd", "import an option-board file into a codeplug (ImportOBD)");
  import->add_option("CODEPLUG", codeplug, "codeplug file")->required();
  import->add_option("OBDFILE", obd, "option-board data file")->required();
  output_options.push_back(
      import->add_option("-o,--output", output, "codeplug file to write (the codeplug itself without it)"));

  const cpsctl::NameCommands names(app, output, output_options);

  std::string second, csv;
  long csv_block = 0;
  auto* diff = app.add_subcommand("diff", "the block, entry and field values in which two codeplugs differ");
  diff->add_option("A", codeplug, "codeplug file, or a radio file (its codeplug is read, the file left as it is)")
      ->required();
  diff->add_option("B", second, "codeplug file, or a radio file")->required();
  diff->footer(
      "One line per difference, 'block 38 entry 3 field 455 (rx_frequency): \"146.520000\" -> \"147\"',\n"
      "and 'block 17: only in B.json' for a block, entry, list, member or field one side lacks.\n"
      "Values are compared as values (\"146.52\" and \"146.520000\" agree); attributes are not\n"
      "compared. Codeplugs of different generations are not compared: one line says so, exit 1.\n"
      "\n"
      "Exit codes, as diff's: 0 the same, 1 different, 2 the command line is wrong or A or B\n"
      "cannot be read.");

  auto* export_csv = app.add_subcommand("export-csv", "a block's entries as CSV on standard output");
  export_csv->add_option("CODEPLUG", codeplug, "codeplug file")->required();
  auto* export_block = add_csv_block(export_csv, csv_block);
  export_csv->footer(
      "One row per entry, one column per field, a header row of field labels: \"455 (rx_frequency)\",\n"
      "the ID alone for a field without a name. A cell holding a comma, a double quote or a line\n"
      "break is quoted, its quotes doubled (RFC 4180); lines end in LF.");

  auto* import_csv = app.add_subcommand("import-csv", "set a block's entries from CSV, all or nothing, then save");
  import_csv->add_option("CODEPLUG", codeplug, "codeplug file, changed in place")->required();
  import_csv->add_option("CSV", csv, "CSV file as export-csv writes it (- for standard input)")->required();
  auto* import_block = add_csv_block(import_csv, csv_block);
  import_csv->footer(
      "The header row names a field per column: its ID, \"ID (name)\" (the ID decides) or its name.\n"
      "Data row N sets entry N-2 (row 2 is entry 0). Rows beyond the block's entries add entries\n"
      "first (AddList); entries beyond the last row are deleted (DeleteList), so the CSV is the\n"
      "whole list (a CSV with no data row is refused rather than emptying the block). Each cell\n"
      "whose value differs from the entry's is set (SetFieldAt); an empty cell of a field the\n"
      "entry lacks is left alone. The first value refused fails the import,\n"
      "naming its CSV row and column as a spreadsheet shows them and the component's error; the\n"
      "codeplug is then left as it was.");

  auto* errors = app.add_subcommand("errors", "every error code with its HRESULT and message");
  auto* demo = app.add_subcommand(
      "demo", "for each generation: read a factory radio, change a channel, write it back, read it again");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return cpsctl::kExitUsage;
  }

  std::optional<std::string> output_file;
  for (const CLI::Option* option : output_options)
    if (option->count() > 0) output_file = output;

  try {
    if (create->parsed()) {
      if (radio_options.generation == 2) {
        for (const CLI::Option* option : {band, mobile, market_class, full})
          if (option->count() > 0)
            throw cpsctl::Failure{E_INVALIDARG, "",
                                  option->get_name() + " does not apply to a radio of generation 2 (see --help)",
                                  cpsctl::kExitUsage};
        if (serial->count() == 0) radio_options.serial = gen2_factory.serial;
        if (model->count() == 0) radio_options.model = gen2_factory.model;
        if (version->count() == 0) radio_options.version = gen2_factory.version;
        if (channels->count() == 0) radio_options.channels = gen2_factory.channels;
      }
      if (radio_options.market_class != 0 && model->count() == 0) radio_options.model = cps::sim::kMarketClass1Model;
      return cpsctl::radio_create(radio, radio_options);
    }
    if (read->parsed()) return cpsctl::read_radio(radio, output_file, device);
    if (write->parsed()) return cpsctl::write_radio(radio, codeplug, write_options);
    if (clone->parsed()) return cpsctl::clone_radio(radio, codeplug, write_options);
    if (reset->parsed()) return cpsctl::reset_radio(radio, device);
    if (info->parsed()) return cpsctl::update_info(radio, codeplug, device);
    if (import->parsed()) return cpsctl::import_obd(codeplug, obd, output_file);
    if (const std::optional<int> code = names.run(output_file)) return *code;
    if (diff->parsed()) return cpsctl::diff_codeplugs(codeplug, second);
    if (export_csv->parsed())
      return cpsctl::export_csv(codeplug, export_block->count() ? std::optional<long>(csv_block) : std::nullopt);
    if (import_csv->parsed())
      return cpsctl::import_csv(codeplug, csv, import_block->count() ? std::optional<long>(csv_block) : std::nullopt);
    if (errors->parsed()) return cpsctl::list_errors();
    if (demo->parsed()) return cpsctl::demo();
  } catch (const cpsctl::Failure& f) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", cpsctl::error_line(f).c_str());
    return f.exit_code;
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "error: %s\n", e.what());
    return cpsctl::kExitFailure;
  }
  return cpsctl::kExitUsage;
}

// Ends the process once its output is out. Every file is closed and every lock released by then;
// what is left are the component's caches (thousands of freed text blocks kept for reuse), which
// the process need not hand back one by one. A sanitizer build returns normally, so that the leak
// check at exit still runs.
[[noreturn]] void finish(int code) {
#if defined(CPS_PROFILE_GENERATE)
  __gcov_dump();  // a profiling build's counters, which _Exit would not write
#endif
#if defined(__SANITIZE_ADDRESS__)
  std::exit(code);
#else
  std::_Exit(code);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  // 64 MiB of address space: a full codeplug's write, the largest command, peaks at about 50.
  cpsctl::prepare_heap(std::size_t{64} << 20);
  const int code = run(argc, argv);
  // What a command printed must have reached standard output: a full disk or a closed pipe there
  // is a failure like any other.
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) finish(code);
  const int error = errno;
  std::fprintf(stderr, "%s\n",
               cpsctl::error_line({cpsctl::kFileException, "", std::string("standard output: ") + (error ? std::strerror(error) : "cannot write it")})
                   .c_str());
  finish(code == cpsctl::kExitOk ? cpsctl::kExitFailure : code);
}
