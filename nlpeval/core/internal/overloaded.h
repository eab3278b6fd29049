#ifndef NLPEVAL_CORE_INTERNAL_OVERLOADED_H_
#define NLPEVAL_CORE_INTERNAL_OVERLOADED_H_

// One visitor made of several lambdas, for std::visit over a variant:
//   std::visit(overloaded{[](const A&) {...}, [](const B&) {...}}, value);

namespace nlpeval {

template <typename... Callables>
struct overloaded : Callables... {
  using Callables::operator()...;
};
// Clang before 17 does not deduce an aggregate's template arguments by itself.
template <typename... Callables>
overloaded(Callables...) -> overloaded<Callables...>;

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_INTERNAL_OVERLOADED_H_
