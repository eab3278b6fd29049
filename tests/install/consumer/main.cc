// Scores two dependency parses through the installed library.
#include <iostream>

#include "nlpeval/evaluator/evaluator.h"

int main() {
  nlpeval::ConllLines gold = {"1\tA\ta\tN\tN\t_\t2\tnsubj\t_\t_\n",
                              "2\tB\tb\tV\tV\t_\t0\troot\t_\t_\n"};
  nlpeval::ConllLines pred = {"1\tA\ta\tN\tN\t_\t2\tobj\t_\t_\n",
                              "2\tB\tb\tV\tV\t_\t0\troot\t_\t_\n"};
  auto result = nlpeval::evaluate("dp", gold, pred, {.do_print = false});
  std::cout << nlpeval::to_json(result).dump() << "\n";
  return std::get<nlpeval::DpResult>(result).LAS == 0.5 ? 0 : 1;
}
