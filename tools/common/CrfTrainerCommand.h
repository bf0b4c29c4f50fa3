// "zorvseg-train crf": trains a CRF model file from a column file.
#ifndef ZORVSEG_TOOLS_COMMON_CRFTRAINERCOMMAND_H_
#define ZORVSEG_TOOLS_COMMON_CRFTRAINERCOMMAND_H_

namespace zorvseg_tools {

// argv[0] is "crf"; returns the exit status (0 success and help, 1 failure,
// 2 usage error).
int RunCrfTrainerCommand(int argc, char** argv);

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_CRFTRAINERCOMMAND_H_
