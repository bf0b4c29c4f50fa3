// zorvseg-train entities: the entity dictionary and the CRF's training
// sequences from an annotated corpus.
#ifndef ZORVSEG_TOOLS_COMMON_ENTITYTRAINERCOMMAND_H_
#define ZORVSEG_TOOLS_COMMON_ENTITYTRAINERCOMMAND_H_

namespace zorvseg_tools {

// argv[0] is "entities". Returns the exit status: 0 success (and --help),
// 1 failure, 2 usage error.
int RunEntityTrainer(int argc, char** argv);

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_ENTITYTRAINERCOMMAND_H_
