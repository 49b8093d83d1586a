// Every loader of MetaStock master and working files over arbitrary bytes,
// and the master writers over arbitrary previous contents.
// Input: uint16 length of MASTER, uint16 length of EMASTER, uint16 length of
// XMASTER (all little-endian), then those three files; the rest is fed as
// ~MSFL.SEC, ~MSFL.USR and ~MSFL.LCK.
#include <algorithm>
#include <cstring>
#include <span>

#include "fuzz/FuzzTarget.h"
#include "metastock/MsLockFile.h"
#include "metastock/MsMasters.h"
#include "metastock/MsUserFile.h"

VZ_FUZZ_TARGET(MsLoaders) {
  std::span<const uint8_t> input(data, size);
  auto take = [&input](size_t n) {
    n = std::min(n, input.size());
    const auto part = input.first(n);
    input = input.subspan(n);
    return part;
  };
  auto length = [&take]() {
    const auto bytes = take(2);
    return bytes.size() == 2 ? static_cast<size_t>(bytes[0] | (bytes[1] << 8)) : size_t{0};
  };
  const size_t masterLength = length(), emasterLength = length(), xmasterLength = length();
  const auto master = take(masterLength);
  const auto emaster = take(emasterLength);
  const auto xmaster = take(xmasterLength);
  const auto rest = input;

  vz::MsDirectory dir;
  std::strcpy(dir.appName, "Fuzz");
  vz::MsLoadFromMasters(dir, master, emaster, xmaster);
  if (dir.securityCount != static_cast<int32_t>(dir.securities.size())) __builtin_trap();
  (void)vz::MsBuildMaster(dir, master);
  (void)vz::MsBuildEmaster(dir, emaster);
  (void)vz::MsBuildXmaster(dir, xmaster);
  (void)vz::MsBuildIndexFile(dir);
  vz::MsDecodeLockFile(dir, rest);
  vz::MsClearStaleLocks(dir);

  vz::MsDirectory joined;
  vz::MsDecodeSecurityFile(joined, rest);
  vz::MsDecodeUserFile(joined, rest);
  vz::MsDecodeLockFile(joined, rest);
  vz::MsClearStaleLocks(joined);
  vz::MsRegisterUser(joined);
  (void)vz::MsBuildUserFile(joined);
  (void)vz::MsBuildSecurityFile(joined);
  (void)vz::MsBuildMaster(joined, master);
  return 0;
}
