#include "variant.h"

const Variant ostrel64Variant = {
    .programName = "ostrel64",
    .bannerLine = "Ostrel 2.0",
    .announceHashAtStart = true,
    .idName = "id name Ostrel 2.2e",
    .initialHashMB = 1,
    .zeroTimeRaisesNoError = false,
    .searchAdditions = false,
    .revisedPawnTerm = false,
};

const Variant ostrel32Variant = {
    .programName = "ostrel32",
    .bannerLine = "Ostrel 2.3",
    .announceHashAtStart = false,
    .idName = "id name Ostrel 2.3",
    .initialHashMB = 64,
    .zeroTimeRaisesNoError = true,
    .searchAdditions = true,
    .revisedPawnTerm = true,
};

namespace detail {
const Variant* currentVariant = &ostrel64Variant;
}

void selectVariant(const Variant& variant) { detail::currentVariant = &variant; }
