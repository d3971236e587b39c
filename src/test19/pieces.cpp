// The table of the nonsmooth problems' decompositions.
#include "test19/pieces.hpp"

#include "test19/problems.hpp"

namespace kinkbench::nonsmooth {
namespace {

#define FORM(ns, smooth) \
  { ns::decompose_groups, ns::decompose, ns::piece_name, smooth }

constexpr PieceForm kForms[kProblemCount] = {
    FORM(p01, true),  FORM(p02, true),  FORM(p03, false), FORM(p04, false), FORM(p05, false),
    FORM(p06, false), FORM(p07, false), FORM(p08, true),  FORM(p09, true),  FORM(p10, false),
    FORM(p11, true),  FORM(p12, false), FORM(p13, true),  FORM(p14, true),  FORM(p15, false),
    FORM(p16, false), FORM(p17, false), FORM(p18, false), FORM(p19, false), FORM(p20, false),
    FORM(p21, true),  FORM(p22, true),  FORM(p23, false), FORM(p24, false), FORM(p25, true),
};

#undef FORM

}  // namespace

const PieceForm& piece_form(int iprob) {
  return (iprob >= 2 && iprob <= kProblemCount) ? kForms[iprob - 1] : kForms[0];
}

}  // namespace kinkbench::nonsmooth
