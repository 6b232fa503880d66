// cpsctl's commands. Each returns its exit code or throws Failure; what it shows goes to
// standard output, progress and errors to standard error.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cpsctl {

struct RadioOptions {
  int generation = 1;
  std::string serial = "100TAA0001";
  std::string model = "M1PORT00001";
  std::string version = "0720";
  std::string band = "VHF";
  bool mobile = false;
  int channels = 32;  // the factory channel list, 1 to 255
  bool full = false;  // every list at its maximum
  bool force = false;  // replace an existing radio file
  int market_class = 0;
};

// How a command treats the simulated radio: calls made to fail (see parse_injected_failure).
struct DeviceOptions {
  std::vector<std::string> failures;
};

struct WriteOptions {
  DeviceOptions device;
  bool no_backup = false;  // write without saving the radio's codeplug first
  bool no_verify = false;  // do not read the radio back and compare
  bool force = false;      // write what the pre-flight check refuses, with its findings as warnings
};

int radio_create(const std::string& radio, const RadioOptions& options);
int read_radio(const std::string& radio, const std::optional<std::string>& output, const DeviceOptions& device);
int write_radio(const std::string& radio, const std::string& codeplug, const WriteOptions& options);
int clone_radio(const std::string& radio, const std::string& codeplug, const WriteOptions& options);
int reset_radio(const std::string& radio, const DeviceOptions& device);
int update_info(const std::string& radio, const std::string& codeplug, const DeviceOptions& device);
int import_obd(const std::string& codeplug, const std::string& obd, const std::optional<std::string>& output);
// get, set and range take a field by ID or by name (names.cpp).
int get_value(const std::string& codeplug, long block, std::optional<int> index, const std::optional<std::string>& field,
              std::optional<int> member);
int set_values(const std::string& codeplug, long block, int index, const std::vector<std::string>& assignments,
               std::optional<int> member, const std::optional<std::string>& output);
int show_range(const std::string& field, int generation);
int list_errors();
int demo();

}  // namespace cpsctl
