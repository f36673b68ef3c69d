// Carries out a patch's install script the way the device's shell would, by
// recognising its known line forms; nothing is ever handed to a shell.
//
//   if [ -f "/tmp/NAME" ]   then   else   fi     NAME present in the tmp folder
//   cp -f /tmp/NAME /mnt/mtd/                    copy into the mtd folder
//   cp /tmp/NAME /mnt/mtd/ -f                    the same
//   /tmp/exshell.sh ARGS                         optional vendor hook: skipped
//   echo ..., #!/bin/sh, # comments, blank lines nothing to do
//
// Other lines are skipped and listed in skipped. A cp whose source is
// missing or whose names are not plain fails the install.
#pragma once

#include <string>
#include <vector>

namespace devsim {

bool runInstallScript(const std::string& script, const std::string& tmpDir,
                      const std::string& mtdDir, std::vector<std::string>* skipped,
                      std::string* error);

}  // namespace devsim
