// The Windows suite's program: the tests; one careless host's scenario when
// started by a test with the forgetful-host switch; or a measuring host.
#include <gtest/gtest.h>

#include <string>

#include "ForgetfulHost.h"
#include "RuntimeFigures.h"
#include "WindowsHost.h"

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == ForgetfulHostSwitch)
    return PlayForgetfulHost(argv[2], argv[3]);
  if (argc == 4 && std::string(argv[1]) == ReloadCyclesSwitch)
    return PlayReloadCycles(argv[3], std::stoi(argv[2]));
  if (argc == 4 && std::string(argv[1]) == IdleCpuSwitch)
    return PlayIdleCpu(argv[3], std::stoi(argv[2]));
  if (argc == 3 && std::string(argv[1]) == LogWriterSwitch)
    return PlayLogWriter(std::stoi(argv[2]));
  if (argc == 2 && std::string(argv[1]) == FolderHostSwitch) return PlayFolderHost();
  if (argc == 3 && std::string(argv[1]) == PacedWriterSwitch)
    return PlayPacedWriter(std::stoi(argv[2]));
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
