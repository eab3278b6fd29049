#ifndef NLPEVAL_EVALUATOR_EVALUATES_PROPS_READER_H_
#define NLPEVAL_EVALUATOR_EVALUATES_PROPS_READER_H_

// Reading CoNLL-2005 props files (the layout is described in srl_evaluate.h) into records,
// one per sentence: an array of token rows, each an array of column strings.

#include <string>

#include "nlpeval/core/record.h"

namespace nlpeval {

// The sentences of the props file `file`, in file order, each a record as above; each record
// remembers the file and the 1-based line of its first token. Lines that hold only white
// space end a sentence; a UTF-8 byte order mark at the start and "\r\n" line ends are
// accepted. The file is read once, sentence by sentence, and its tokens are not checked here:
// srl_evaluate checks them.
//
// Throws FileError naming the file when it cannot be opened or read (a directory included),
// and ValueError naming the file and the 1-based line for invalid UTF-8 or a sentence too long
// to keep (4 GB).
Records conll_iterator(const std::string& file);

}  // namespace nlpeval

#endif  // NLPEVAL_EVALUATOR_EVALUATES_PROPS_READER_H_
