#include "commands.h"

#include "block_text.h"
#include "codeplug_file.h"
#include "codeplug_object.h"
#include "compare.h"
#include "file_lock.h"
#include "host.h"
#include "output.h"
#include "preflight.h"
#include "progress.h"
#include "variant_records.h"
#include "sim/simulated_radio.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>

namespace cpsctl {

namespace {

constexpr ULONG kHandle = 1;  // the device handle; the simulated radio does not look at it

// ---- The radio file -------------------------------------------------------------------------

[[noreturn]] void usage(const std::string& detail) {
  throw Failure{E_INVALIDARG, "", detail, kExitUsage};
}

// "read:N:HRESULT", "write:N:HRESULT[:BYTES]", "ioctl[=COMMAND]:N:HRESULT": the Nth call of a
// kind (or of one control command) answers HRESULT; a failing write may store BYTES first.
cps::sim::Failure parse_injected_failure(const std::string& text) {
  auto bad = [&] { usage("--fail '" + text + "': expected read|write|ioctl[=COMMAND]:N:HRESULT[:BYTES]"); };
  std::vector<std::string> parts;
  for (size_t start = 0;;) {
    const size_t colon = text.find(':', start);
    parts.push_back(text.substr(start, colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  if (parts.size() < 3 || parts.size() > 4) bad();
  cps::sim::Failure failure;
  std::string kind = parts[0];
  if (const size_t eq = kind.find('='); eq != std::string::npos) {
    failure.command = kind.substr(eq + 1);
    kind.resize(eq);
    if (kind != "ioctl") bad();
  }
  if (kind == "read") failure.call = cps::sim::Call::Read;
  else if (kind == "write") failure.call = cps::sim::Call::Write;
  else if (kind == "ioctl") failure.call = cps::sim::Call::IoControl;
  else bad();
  try {
    size_t used = 0;
    failure.nth = std::stoi(parts[1], &used);
    if (used != parts[1].size() || failure.nth < 1) bad();
    const unsigned long hr = std::stoul(parts[2], &used, 0);
    if (used != parts[2].size() || hr > 0xFFFFFFFFul) bad();
    failure.hr = static_cast<HRESULT>(static_cast<uint32_t>(hr));
    if (parts.size() == 4) {
      if (failure.call != cps::sim::Call::Write) bad();
      failure.stored_bytes = std::stoul(parts[3], &used, 0);
      if (used != parts[3].size()) bad();
    }
  } catch (const std::logic_error&) {
    bad();
  }
  return failure;
}

// The radio file's text replaces the radio file as every output does (links followed,
// permissions kept), without waiting for the disk: it stands for the radio's memory.
void save_radio(const cps::sim::SimulatedRadio& radio, const std::string& path) {
  std::string text;
  try {
    text = radio.file_text();
  } catch (const std::exception&) {
    throw Failure{kFileException, "", "radio file '" + path + "': cannot write it"};
  }
  write_file_atomically(path, text, Sync::No);
}

// Whether a command only reads the radio file or may write it back.
enum class Access { Read, Write };

// A radio file loaded for one command and, when the command may change the radio, saved back
// after the radio was used, whether the operation succeeded or not: what reached the radio stays
// there. Such a command holds the radio file's lock from before the load to the end.
class RadioFile {
 public:
  RadioFile(std::string path, const DeviceOptions& options, Access access) : path_(std::move(path)) {
    if (access == Access::Write) lock_.emplace(path_);
    if (!std::ifstream(path_)) throw Failure{kFileOpen, "", "radio '" + path_ + "': " + std::strerror(errno)};
    try {
      radio_ = cps::sim::SimulatedRadio::load(path_);
    } catch (const std::exception& e) {
      throw Failure{kInvalidData, "", e.what()};
    }
    for (const std::string& failure : options.failures) radio_.failures.push_back(parse_injected_failure(failure));
  }

  cps::sim::SimulatedRadio& radio() { return radio_; }
  IUnknown* device() { return radio_.as_unknown(); }
  int generation() const { return radio_.generation; }

  void save() { save_radio(radio_, path_); }

  // Runs a device call and saves the radio afterwards when the call changed what its file holds
  // (a read leaves the file alone; a command that only reads never saves); the call's result is
  // returned (a failed save counts only when the call succeeded).
  template <class Call>
  HRESULT use(Call&& call) {
    if (!lock_) return call();
    const std::vector<uint8_t> memory = radio_.memory;
    const cps::sim::Identity identity = radio_.identity;
    const int resets = radio_.reset_count;
    const HRESULT hr = call();
    if (radio_.memory == memory && radio_.identity == identity && radio_.reset_count == resets) return hr;
    try {
      save();
    } catch (const Failure&) {
      if (SUCCEEDED(hr)) throw;
    }
    return hr;
  }

 private:
  std::string path_;
  std::optional<FileLock> lock_;
  cps::sim::SimulatedRadio radio_;
};

// A codeplug file loaded into a new object of its generation.
struct LoadedCodeplug {
  explicit LoadedCodeplug(const std::string& path)
      : file(read_codeplug_file(path)), object(file.generation), path_(path), kept_(load(object, file, path)),
        checked_(true) {}
  // A write's source: its blocks set, what the object kept not yet checked (a write whose copy of
  // the radio reads back as the file never needs to know).
  struct Unchecked {};
  LoadedCodeplug(const std::string& path, Unchecked)
      : file(read_codeplug_file(path)), object(file.generation), path_(path) {
    set_blocks(object, file, path);
  }
  // What an object loaded from the file holds. Of an unchecked source, found the first time it is
  // asked for from an object loaded anew (the first may have been written from since): that load
  // fails as any other would, for a row the object took without keeping it.
  const Codeplug& held() {
    if (!checked_) {
      Component fresh(file.generation);
      kept_ = load(fresh, file, path_);
      checked_ = true;
    }
    return kept_ ? *kept_ : file;
  }
  Codeplug file;
  Component object;

 private:
  std::string path_;
  std::optional<Codeplug> kept_;  // what the object holds, when that is not the file's records
  bool checked_ = false;
};

void check_generation(const Codeplug& codeplug, const RadioFile& radio, const std::string& path) {
  if (codeplug.generation != radio.generation())
    throw Failure{error_hresult(131), "",
                  "codeplug '" + path + "': generation: " + std::to_string(codeplug.generation) +
                      ", the radio is generation " + std::to_string(radio.generation())};
}

HRESULT read_device(RadioFile& radio, Component& object, const char* label) {
  return radio.use([&] {
    ProgressBar bar(label);
    const HRESULT hr = object->ReadDevice(radio.device(), kHandle, bar.as_unknown());
    if (SUCCEEDED(hr)) bar.complete();
    return hr;
  });
}

// ---- Labels ---------------------------------------------------------------------------------

std::string without_json_extension(const std::string& path) {
  const std::string extension = ".json";
  if (path.size() > extension.size() && path.compare(path.size() - extension.size(), extension.size(), extension) == 0)
    return path.substr(0, path.size() - extension.size());
  return path;
}

// RADIO.backup-<date>-<time>.json beside the radio file, a new name each time.
std::string backup_name(const std::string& radio) {
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string base = without_json_extension(radio) + ".backup-" + stamp;
  std::string name = base + ".json";
  for (int n = 2; std::filesystem::exists(name); ++n) name = base + "-" + std::to_string(n) + ".json";
  return name;
}

// ---- Writing and cloning --------------------------------------------------------------------

int transfer(const std::string& radio_path, const std::string& codeplug_path, const WriteOptions& options,
             bool clone) {
  LoadedCodeplug& source = until_exit<LoadedCodeplug>(codeplug_path, LoadedCodeplug::Unchecked{});
  RadioFile radio(radio_path, options.device, Access::Write);
  check_generation(source.file, radio, codeplug_path);

  // The radio's codeplug as it is: the backup, and the destination object a write hands the
  // component. It is read now for a backup, or when the radio is to fail a call (the read is one
  // of the calls its failures count). Otherwise it is read only if the component asks the
  // destination object something (a clone never does), from the radio as it still is then: only
  // inside the writes below, while `radio` is there.
  const bool read_now = !options.no_backup || !radio.radio().failures.empty();
  DeferredComponent& destination =
      until_exit<DeferredComponent>(radio.generation(), [&radio, read_now](Component& object) {
        if (read_now) return read_device(radio, object, "backing up");
        return radio.use([&] { return object->ReadDevice(radio.device(), kHandle, nullptr); });
      });
  if (read_now) {
    const HRESULT read = destination.make();
    if (!options.no_backup)
      destination.component().check(
          read, "cannot back up the radio '" + radio_path + "' (--no-backup goes on without a backup)");
  }

  const std::string where = "radio '" + radio_path + "'";
  // After the check's write, the destination object is needed only for the backup, or for a write
  // from another object when the radio fails a call (a clone takes no destination object).
  const bool keep_destination = !options.no_backup || (!clone && !radio.radio().failures.empty());
  // What the object holds before the write, for the checks before and after it: the file's
  // records when the copy reads back as them (then nothing the object made of them matters).
  PreflightResult& checked = until_exit<PreflightResult>(
      preflight(source.object, source.file, [&]() -> const Codeplug& { return source.held(); }, radio.radio(),
                destination, keep_destination, clone, where));
  const Codeplug& meant = *checked.meant;
  if (!checked.problems.empty()) {
    const std::string count = count_text(checked.problems.size(), "finding", "findings");
    std::printf("%sthe radio would not hold %s as meant:\n", options.force ? "warning: " : "", codeplug_path.c_str());
    for (const std::string& line : checked.problems) std::printf("  %s\n", line.c_str());
    if (!options.force)
      throw Failure{E_FAIL, "The radio would not read the codeplug back as written.",
                    count + " (listed above); nothing was written (--force writes anyway)"};
  }

  if (!options.no_backup) {
    const std::string backup = backup_name(radio_path);
    create_file_atomically(backup, to_json(snapshot(destination.component())));
    std::printf("backup of the radio's codeplug: %s\n", backup.c_str());
  }

  HRESULT written = S_OK;
  if (radio.radio().failures.empty()) {
    // A radio that fails none of its calls goes through just what the copy went through: the
    // same call, from the same object, into the same memory, with the same destination object.
    // The copy is the write.
    written = radio.use([&] {
      radio.radio() = std::move(checked.written);
      return checked.write_result;
    });
  } else {
    // The radio fails a call it was told to fail. The check's write changed the object (the
    // stamp, the radio's own blocks), so the real write goes from another, loaded from the same
    // records.
    Component object(source.file.generation);
    load(object, source.file, codeplug_path);
    written = radio.use([&] {
      ProgressBar bar(clone ? "cloning" : "writing");
      const HRESULT hr = clone ? object->CloneDevice(radio.device(), kHandle, bar.as_unknown())
                               : object->WriteDevice(radio.device(), kHandle, bar.as_unknown(), &destination);
      if (SUCCEEDED(hr)) bar.complete();
      return hr;
    });
  }
  source.object.check(written, where);
  std::printf("%s %s to %s\n", clone ? "cloned" : "wrote", codeplug_path.c_str(), radio_path.c_str());
  if (options.no_verify) return kExitOk;

  // Read back and compare, value by value, with what was meant; after a forced write, with what
  // the pre-flight check found the radio would hold, so that only a fault of the transfer counts.
  Component readback(radio.generation());
  try {
    readback.check(read_device(radio, readback, "verifying"), where + " was written, but reading it back failed");
  } catch (Failure& f) {
    f.exit_code = kExitDifferences;
    throw;
  }
  const Codeplug& expected = checked.predicted && options.force ? *checked.predicted : meant;
  const Ignore ignore = written_on_purpose(radio.generation(), clone);
  const std::vector<std::string> found =
      holds_exactly(readback, expected, ignore) ? std::vector<std::string>{} : differences(expected, snapshot(readback), ignore);
  if (found.empty()) {
    std::printf("verified\n");
    return kExitOk;
  }
  std::printf("the radio reads back with %zu difference%s:\n", found.size(), found.size() == 1 ? "" : "s");
  for (const std::string& line : found) std::printf("  %s\n", line.c_str());
  throw Failure{E_FAIL, "The radio does not read back as written.",
                std::to_string(found.size()) + " difference" + (found.size() == 1 ? "" : "s") + " (listed above)",
                kExitDifferences};
}

}  // namespace

// ---- Commands -------------------------------------------------------------------------------

int radio_create(const std::string& radio, const RadioOptions& options) {
  cps::sim::SimulatedRadio made;
  try {
    if (options.generation == 2) {
      made = cps::sim::make_gen2_radio(
          {.serial = options.serial, .model = options.model, .version = options.version, .channels = options.channels});
    } else {
      cps::sim::FactoryOptions factory;
      factory.serial = options.serial;
      factory.model = options.model;
      factory.version = options.version;
      factory.band = options.band;
      factory.mobile = options.mobile;
      factory.channels = options.channels;
      factory.full = options.full;
      factory.market_class = options.market_class;
      made = cps::sim::make_gen1_radio(factory);
    }
  } catch (const std::invalid_argument& e) {
    usage(e.what());
  } catch (const std::exception& e) {
    throw Failure{E_FAIL, "", e.what()};
  }
  const FileLock lock(radio);
  if (!options.force && std::filesystem::exists(radio))
    throw Failure{kFileException, "", "radio '" + radio + "' exists (--force replaces it)"};
  save_radio(made, radio);
  std::printf("created %s: generation %d, serial %s, model %s, codeplug version %s\n", radio.c_str(),
              options.generation, options.serial.c_str(), options.model.c_str(), options.version.c_str());
  return kExitOk;
}

int read_radio(const std::string& radio_path, const std::optional<std::string>& output, const DeviceOptions& device) {
  if (output) refuse_output_over_input(*output, {radio_path});
  RadioFile radio(radio_path, device, Access::Read);
  Component object(radio.generation());
  object.check(read_device(radio, object, "reading"), "radio '" + radio_path + "'");
  // Each block goes into the text as it is read, not held until all are.
  JsonWriter writer(object.generation());
  write_each(object, writer);
  const std::string& text = writer.finish();
  if (output) {
    write_file_atomically(*output, text);
    if (!is_standard_output(*output)) std::printf("read %s into %s\n", radio_path.c_str(), output->c_str());
  } else {
    std::fwrite(text.data(), 1, text.size(), stdout);
  }
  return kExitOk;
}

int write_radio(const std::string& radio, const std::string& codeplug, const WriteOptions& options) {
  return transfer(radio, codeplug, options, false);
}

int clone_radio(const std::string& radio, const std::string& codeplug, const WriteOptions& options) {
  return transfer(radio, codeplug, options, true);
}

int reset_radio(const std::string& radio_path, const DeviceOptions& device) {
  RadioFile radio(radio_path, device, Access::Write);
  Component object(radio.generation());
  object.check(radio.use([&] { return object->ResetDevice(radio.device(), kHandle); }),
               "radio '" + radio_path + "'");
  std::printf("reset %s (reset %d time%s so far)\n", radio_path.c_str(), radio.radio().reset_count,
              radio.radio().reset_count == 1 ? "" : "s");
  return kExitOk;
}

int update_info(const std::string& radio_path, const std::string& codeplug_path, const DeviceOptions& device) {
  LoadedCodeplug codeplug(codeplug_path);
  RadioFile radio(radio_path, device, Access::Read);
  check_generation(codeplug.file, radio, codeplug_path);
  BYTE same_serial = 0, same_model = 0;
  Variant versions;
  codeplug.object.check(radio.use([&] {
    return codeplug.object->GetUpdInfo(radio.device(), kHandle, &same_serial, &same_model, versions.get());
  }), "radio '" + radio_path + "'");
  // A 1 x 2 array: the codeplug's major version, then the radio's.
  int major[2] = {-1, -1};
  if ((versions->vt & VT_ARRAY) && versions->parray && SafeArrayGetDim(versions->parray) == 2) {
    for (LONG k = 0; k < 2; ++k) {
      Variant item;
      LONG at[2] = {0, k};
      if (SUCCEEDED(SafeArrayGetElement(versions->parray, at, item.get())) && item->vt == VT_UI1)
        major[k] = item->bVal;
    }
  }
  if (major[0] < 0 || major[1] < 0)
    throw Failure{kInvalidData, "", "the component answered versions of an unexpected shape"};
  std::printf("same serial number: %s\nsame model: %s\ncodeplug major version: %d\nradio major version: %d\n",
              same_serial ? "yes" : "no", same_model ? "yes" : "no", major[0], major[1]);
  return kExitOk;
}

int import_obd(const std::string& codeplug_path, const std::string& obd, const std::optional<std::string>& output) {
  // Without -o (or with -o naming the codeplug itself) the codeplug is changed in place.
  const std::string target = output.value_or(codeplug_path);
  refuse_output_over_input(target, {obd});
  const FileLock lock(target);
  LoadedCodeplug codeplug(codeplug_path);
  BSTR name = bstr_from_utf8(obd);
  const HRESULT hr = codeplug.object->ImportOBD(name);
  SysFreeString(name);
  codeplug.object.check(hr, "option board file '" + obd + "'");
  write_codeplug_file(target, snapshot(codeplug.object));
  if (!is_standard_output(target)) std::printf("imported %s into %s\n", obd.c_str(), target.c_str());
  return kExitOk;
}

int list_errors() {
  Component component(1);
  // Code 13 (a block image that is too short) has no message of its own.
  std::printf("%4d  %s  %s\n", 13, hresult_text(error_hresult(13)).c_str(), "(no message)");
  for (unsigned code = 103; code <= 135; ++code) {
    const HRESULT hr = error_hresult(code);
    BSTR text = nullptr;
    std::string message;
    if (component->GetErrorMsg(hr, &text) == S_OK) message = utf8_from_bstr(text);
    SysFreeString(text);
    if (message.empty()) continue;
    std::printf("%4u  %s  %s\n", code, hresult_text(hr).c_str(), message.c_str());
  }
  return kExitOk;
}

// ---- The demo -------------------------------------------------------------------------------

namespace {

struct Edit {
  long block;
  long field;
  int index;
  std::string value;
  std::string what;
};

// A channel's frequency when the codeplug has channels, else the programming source of block 4.
Edit choose_edit(const std::string& codeplug_path) {
  const Codeplug codeplug = read_codeplug_file(codeplug_path);
  const Block* channels = codeplug.find(38);
  const Block* identity = codeplug.find(3);
  if (channels && identity && channels->kind() == Kind::Block) {
    const auto& record = std::get<EntryRecord>(channels->record);
    const auto& limits = std::get<EntryRecord>(identity->record);
    auto text_of = [](const Rows& rows, int32_t id) -> const std::string* {
      for (const Row& row : rows)
        if (row.id == id) return &row.text;
      return nullptr;
    };
    const std::string* frequency = record.entries.empty() ? nullptr : text_of(record.entries[0], 455);
    const std::string* lower = limits.entries.empty() ? nullptr : text_of(limits.entries[0], 91);
    const std::string* upper = limits.entries.empty() ? nullptr : text_of(limits.entries[0], 92);
    if (frequency && lower && upper) {
      try {
        // 148.5125 MHz on a VHF radio; 12.5125 MHz above the band's lower limit on another.
        double mhz = 148.5125;
        if (mhz < std::stod(*lower) || mhz > std::stod(*upper)) mhz = std::stod(*lower) + 12.5125;
        char text[32];
        std::snprintf(text, sizeof text, "%.6f", mhz);
        return {38, 455, 0, text, "the receive frequency of channel 0"};
      } catch (const std::logic_error&) {
        // not a number: edit the programming source instead
      }
    }
  }
  return {4, 104, 0, "Depot Tool", "the programming source"};
}

void heading(const char* text) { std::printf("\n== %s\n", text); }

// What the demo shows of a generation: the blocks that identify the radio, the edit, and the
// block the write stamps.
struct DemoSteps {
  std::vector<long> identity;
  long stamped;
};

// A factory radio of the generation: read, show, edit a channel, write back, read again.
void demo_generation(int generation, const DemoSteps& steps) {
  const std::string prefix = "gen" + std::to_string(generation) + "-";
  const std::string radio = prefix + "radio.json", codeplug = prefix + "codeplug.json",
                    again = prefix + "codeplug-again.json";

  heading(("A factory radio of generation " + std::to_string(generation)).c_str());
  RadioOptions options;
  if (generation == 2) {
    const cps::sim::Gen2FactoryOptions factory;
    options = {.generation = 2, .serial = factory.serial, .model = factory.model, .version = factory.version,
               .channels = factory.channels};
  }
  radio_create(radio, options);

  heading("Reading it");
  read_radio(radio, codeplug, {});
  const Codeplug read = read_codeplug_file(codeplug);
  std::printf("the codeplug holds %zu blocks:", read.blocks.size());
  for (const Block& block : read.blocks) std::printf(" %d", block.id);
  std::printf("\n");

  heading("What it holds: the radio's identity and the programming record");
  for (long block : steps.identity) get_value(codeplug, block, std::nullopt, std::nullopt, std::nullopt);

  // The second generation's channels hold no frequency: channel 0's power level changes.
  const Edit edit = generation == 2 ? Edit{2018, 2505, 0, "Low", "the power level of channel 0"} : choose_edit(codeplug);
  heading(("Editing " + edit.what).c_str());
  std::printf("before: ");
  get_value(codeplug, edit.block, edit.index, std::to_string(edit.field), std::nullopt);
  set_values(codeplug, edit.block, edit.index, {std::to_string(edit.field) + "=" + edit.value}, std::nullopt,
             std::nullopt);

  heading("Writing it back (a backup first, a comparison after)");
  write_radio(radio, codeplug, {});

  heading("Reading it again");
  read_radio(radio, again, {});
  std::printf("now: ");
  get_value(again, edit.block, edit.index, std::to_string(edit.field), std::nullopt);
  std::printf("and the write stamped the programming record:\n");
  get_value(again, steps.stamped, std::nullopt, std::nullopt, std::nullopt);
}

}  // namespace

int demo() {
  namespace fs = std::filesystem;
  char pattern[] = "/tmp/cpsctl-demo-XXXXXX";
  if (!mkdtemp(pattern))
    throw Failure{kFileException, "", std::string("cannot create a directory for the demo: ") + std::strerror(errno)};
  // The demo works among its own files, which go when it ends.
  struct Workspace {
    fs::path dir, home = fs::current_path();
    ~Workspace() {
      std::error_code ignored;
      fs::current_path(home, ignored);
      fs::remove_all(dir, ignored);
    }
  } workspace{pattern};
  fs::current_path(workspace.dir);
  std::printf("working in %s (removed afterwards)\n", pattern);

  demo_generation(1, {{3, 4}, 4});
  demo_generation(2, {{2003}, 2003});
  return kExitOk;
}

}  // namespace cpsctl
