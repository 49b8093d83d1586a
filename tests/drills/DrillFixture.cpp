#ifndef _WIN32
#include "drills/DrillFixture.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>
#include <sstream>

#include "app/console/ConsoleProgram.h"
#include "metastock/MsDirectory.h"
#include "metastock/MsEmasterLayout.h"
#include "metastock/MsMasterLayout.h"
#include "platform/FileSystem.h"
#include "tools/msgen/MsGen.h"
#include "vuzuz/OmzArchive.h"

namespace vz::drill {

namespace fs = std::filesystem;

namespace {

struct TPlanState {
  std::mutex mutex;
  TFaultPlan plan;
  std::atomic<long> seen{0};
  std::string failed;
  std::vector<std::string> counted;  // while the plan only counts
};

TPlanState& State() {
  static TPlanState state;
  return state;
}

const char* OperationName(platform::FileOperation operation) {
  switch (operation) {
    case platform::FileOperation::Create: return "Create";
    case platform::FileOperation::Write: return "Write";
    case platform::FileOperation::Flush: return "Flush";
    case platform::FileOperation::Rename: return "Rename";
  }
  return "?";
}

bool InScope(const std::string& path, const std::string& scope) {
  const std::string normal = fs::path(path).lexically_normal().generic_string();
  return normal.size() > scope.size() && normal.compare(0, scope.size(), scope) == 0 && normal[scope.size()] == '/';
}

int FollowPlan(platform::FileOperation operation, const std::string& path) {
  TPlanState& state = State();
  if (!InScope(path, state.plan.scope)) return 0;
  const long n = ++state.seen;
  if (state.plan.target == 0) {
    std::lock_guard lock(state.mutex);
    state.counted.push_back(std::string(OperationName(operation)) + " " + path);
  }
  if (state.plan.target == 0 || n < state.plan.target || (n > state.plan.target && !state.plan.sticky)) return 0;
  if (state.plan.kill) std::raise(SIGKILL);
  std::lock_guard lock(state.mutex);
  if (state.failed.empty()) state.failed = std::string(OperationName(operation)) + " " + path;
  return state.plan.error;
}

// The stamp of the directory's opening: the only bytes of MASTER and
// EMASTER an opening and a closing may change in a directory whose list
// they leave alone.
bool IsStampByte(const std::string& name, size_t offset) {
  if (name == kMsMasterName) return offset >= masterfile::kStamp.offset && offset < masterfile::kStamp.End();
  if (name == kMsEmasterName) return offset >= emasterfile::kStamp.offset && offset < emasterfile::kStamp.End();
  return false;
}

bool IsWorkingFileOrTemporary(const std::string& name) {
  return name.rfind("~MSFL.", 0) == 0 || platform::MatchesWildcard("MS????.TMP", name);
}

// An intraday file's bytes with the time of its making (seconds, written
// where the .DAT and .IDX headers keep it) zeroed: the one thing in which
// two runs' archives of the same data differ.
Bytes WithoutCreationTime(const std::string& entryName, Bytes data) {
  std::vector<size_t> at;
  if (entryName.ends_with(".DAT")) at = {0x070, 0x42A};
  if (entryName.ends_with(".IDX")) at = {0x070};
  for (size_t offset : at)
    for (size_t i = offset; i < offset + 4 && i < data.size(); ++i) data[i] = 0;
  return data;
}

// The entries hold the same files as the archive `other`, apart from the
// time of making.
bool SameContents(const std::vector<omz::ArchiveEntry>& entries, const std::string& other) {
  std::vector<omz::ArchiveEntry> expected;
  omz::Failure error;
  if (!omz::ReadArchive(Bytes(other.begin(), other.end()), expected, error) || expected.size() != entries.size())
    return false;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].name != expected[i].name ||
        WithoutCreationTime(entries[i].name, entries[i].data) != WithoutCreationTime(expected[i].name, expected[i].data))
      return false;
  }
  return true;
}


}  // namespace

msgen::MsGenBar DrillBar(int32_t date, int32_t time, float price, float volume) {
  msgen::MsGenBar bar;
  bar.date = date;
  bar.time = time;
  bar.open = price;
  bar.high = price + 1;
  bar.low = price - 1;
  bar.close = price + 0.5f;
  bar.volume = volume;
  return bar;
}

TDrillFolder::TDrillFolder() {
  static std::atomic<unsigned> counter{0};
  std::error_code ec;
  const fs::path memory = "/dev/shm";
  if (fs::is_directory(memory, ec)) {
    const fs::path mine = memory / ("vz-drill-" + fs::path(fallback_.Path()).filename().string() + "-" +
                                    std::to_string(counter++));
    if (fs::create_directories(mine, ec)) path_ = mine;
  }
  if (path_.empty()) path_ = fallback_.Path();
}

TDrillFolder::~TDrillFolder() {
  if (path_ == fallback_.Path()) return;  // the scratch folder removes itself
  std::error_code ec;
  // The runs leave masters read-only between a kill and the next run.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec))
    fs::permissions(it->path(), fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

void InstallFaultPlan(const TFaultPlan& plan) {
  TPlanState& state = State();
  platform::SetFileFaultHookForTesting(nullptr);
  state.plan = plan;
  state.plan.scope = fs::path(plan.scope).lexically_normal().generic_string();
  while (!state.plan.scope.empty() && state.plan.scope.back() == '/') state.plan.scope.pop_back();
  state.seen = 0;
  state.failed.clear();
  state.counted.clear();
  platform::SetFileFaultHookForTesting(&FollowPlan);
}

void ClearFaultPlan() { platform::SetFileFaultHookForTesting(nullptr); }

long CountedOperations() { return State().seen; }

std::vector<std::string> CountedOperationList() {
  std::lock_guard lock(State().mutex);
  return State().counted;
}

std::string FailedOperation() {
  std::lock_guard lock(State().mutex);
  return State().failed;
}

TTree ReadTree(const fs::path& root) {
  TTree tree;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec))
    if (it->is_regular_file()) tree[it->path().lexically_relative(root).generic_string()] = test::ReadFileBytes(it->path());
  return tree;
}

int RunConsole(const std::vector<std::string>& args, std::string& messages) {
  std::ostringstream text;
  app::ConsoleProgramOptions options;
  options.out = &text;
  options.err = &text;
  options.services.readStored = [](platform::StoredValues&) { return false; };
  options.services.writeStored = [](const platform::StoredValues&) { return true; };
  options.services.defaultMsDir = [] { return std::string(); };
  const int status = app::RunConsoleProgram(args, options);
  messages = text.str();
  return status;
}

void TDrill::SetUp() {
  msDir_ = scratch_.Path() / "ms";
  out_ = scratch_.Path() / "out";
  std::string messages;
  // An earlier run over other prices: the archives this one replaces.
  WriteDirectory(100);
  ASSERT_EQ(Run(messages), app::kExitComplete) << messages;
  earlier_ = ReadTree(out_);
  fs::remove_all(out_);
  fs::remove_all(msDir_);
  // The directory of the drills and a clean run over it: what every
  // archive must be.
  WriteDirectory(0);
  msBefore_ = ReadTree(msDir_);
  ASSERT_EQ(Run(messages), app::kExitComplete) << messages;
  reference_ = ReadTree(out_);
  ASSERT_EQ(reference_.size(), 5u) << messages;  // two months, three days
  ASSERT_EQ(earlier_.size(), reference_.size());
  fs::remove_all(out_);
  ExpectMetastockFilesIntact("after the clean run");
}

void TDrill::WriteDirectory(float priceOffset) {
  msgen::MsGenDirectory directory;
  int fileNumber = 1;
  for (const char* symbol : {"ACME", "BETA"}) {
    msgen::MsGenSecurity daily;
    daily.fileNumber = fileNumber++;
    daily.symbol = symbol;
    daily.name = std::string(symbol) + " daily";
    daily.fieldMask = msgen::kMaskDohlcv;
    for (int32_t date : {20261001, 20261002, 20261030, 20261102, 20261103, 20261130})
      daily.bars.push_back(DrillBar(date, 0, priceOffset + 10.0f + static_cast<float>(date % 100), 1000));
    directory.securities.push_back(daily);
  }
  msgen::MsGenSecurity intraday;
  intraday.fileNumber = fileNumber++;
  intraday.symbol = "INTR";
  intraday.name = "INTR hourly";
  intraday.period = 'I';
  intraday.interval = 60;
  intraday.fieldMask = msgen::kMaskDtohlcv;
  for (int32_t date : {20261102, 20261103, 20261104})
    for (int32_t time : {100000, 110000, 120000})
      intraday.bars.push_back(DrillBar(date, time, priceOffset + 20.0f + static_cast<float>(time / 10000), 50));
  directory.securities.push_back(intraday);
  std::string error;
  ASSERT_TRUE(msgen::WriteMetastockDirectory(directory, msDir_, &error)) << error;
}

void TDrill::SeedEarlierArchives() const {
  fs::remove_all(out_);
  for (const auto& [name, bytes] : earlier_) {
    fs::create_directories((out_ / name).parent_path());
    test::WriteFileBytes(out_ / name, bytes);
  }
}

void TDrill::ExpectEarlierArchivesKept(const std::string& when) const {
  for (const auto& [name, bytes] : earlier_)
    EXPECT_TRUE(fs::is_regular_file(out_ / name)) << "earlier archive " << name << " is gone " << when;
}

std::vector<std::string> TDrill::RunArguments() const {
  return {"/m:" + msDir_.string(), "/o:" + out_.string(), "/f:20261001", "/t:20261201", "/i:n"};
}

int TDrill::Run(std::string& messages) const { return RunConsole(RunArguments(), messages); }

void TDrill::ExpectMetastockFilesIntact(const std::string& when) const {
  const TTree now = ReadTree(msDir_);
  for (const auto& [name, before] : msBefore_) {
    const auto it = now.find(name);
    if (it == now.end()) {
      ADD_FAILURE() << name << " is gone " << when;
      continue;
    }
    const std::string& after = it->second;
    if (after.size() != before.size()) {
      ADD_FAILURE() << name << " holds " << after.size() << " bytes instead of " << before.size() << " " << when;
      continue;
    }
    for (size_t i = 0; i < after.size(); ++i) {
      if (after[i] != before[i] && !IsStampByte(name, i)) {
        ADD_FAILURE() << name << " differs at byte " << i << " " << when;
        break;
      }
    }
  }
  for (const auto& [name, bytes] : now)
    if (!msBefore_.count(name) && !IsWorkingFileOrTemporary(name))
      ADD_FAILURE() << "the MetaStock directory gained " << name << " " << when;
}

void TDrill::ExpectOnlyCompleteArchives(const std::string& when, bool newOnly) const {
  for (const auto& [name, bytes] : ReadTree(out_)) {
    if (name.ends_with(".tmp")) continue;  // a temporary, never taken for an archive
    if (!name.ends_with(".omz")) {
      ADD_FAILURE() << "the output folder holds " << name << " " << when;
      continue;
    }
    std::vector<omz::ArchiveEntry> entries;
    omz::Failure error;
    if (!omz::ReadArchive(Bytes(bytes.begin(), bytes.end()), entries, error)) {
      ADD_FAILURE() << name << " does not read back whole " << when << ": " << error.text;
      continue;
    }
    for (const auto& entry : entries)
      EXPECT_TRUE(entry.expanded) << name << " entry " << entry.name << " does not expand " << when;
    const bool isNew = reference_.count(name) && SameContents(entries, reference_.at(name));
    const bool isEarlier = !newOnly && earlier_.count(name) && SameContents(entries, earlier_.at(name));
    EXPECT_TRUE(isNew || isEarlier) << name << " is neither the complete new archive"
                                    << (newOnly ? "" : " nor the earlier one") << " " << when;
  }
}

void TDrill::ExpectCompleteOutput(const std::string& when) const {
  const TTree out = ReadTree(out_);
  std::vector<std::string> names, expected;
  for (const auto& [name, bytes] : out) names.push_back(name);
  for (const auto& [name, bytes] : reference_) expected.push_back(name);
  EXPECT_EQ(names, expected) << when;
  ExpectOnlyCompleteArchives(when, true);
}

void TDrill::ExpectDirectoryClosed(const std::string& when) const {
  std::vector<std::string> msNames, msExpected;
  for (const auto& [name, bytes] : ReadTree(msDir_)) msNames.push_back(name);
  for (const auto& [name, bytes] : msBefore_) msExpected.push_back(name);
  EXPECT_EQ(msNames, msExpected) << "working files or temporaries left " << when;
  ExpectMetastockFilesIntact(when);
  EXPECT_FALSE(platform::IsReadOnly((msDir_ / kMsMasterName).string())) << when;
  EXPECT_FALSE(platform::IsReadOnly((msDir_ / kMsEmasterName).string())) << when;
}

void TDrill::ExpectCleanFinish(const std::string& when) const {
  ExpectCompleteOutput(when);
  ExpectDirectoryClosed(when);
}

void TDrill::ExpectOthersCanOpen(const std::string& when) const {
  MsDirectory* other = MsOpenDirectory(msDir_.string(), 100, "Drill other program", "someone else");
  ASSERT_NE(other, nullptr) << "another program cannot open the directory " << when << ": " << MsLastError();
  EXPECT_EQ(MsCloseDirectory(other), 1) << when << ": " << MsLastError();
  ExpectMetastockFilesIntact(when + ", after another program opened and closed it");
}

}  // namespace vz::drill
#endif
