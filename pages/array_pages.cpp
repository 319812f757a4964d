// Pages of the array blocks: plain integer fields, one check box and notes.
#include "pages/page_registry.h"

namespace {

constexpr std::string_view kClearOnOutput =
    "Clear the array after it is output - new inputs will start a new array";

constexpr PageField kCollector[] = {
    EditField("Starting Array Index", "ArrayIndex", FieldKind::Long),
    CheckBoxField(kClearOnOutput, "ClearOnOutput"),
};
constexpr PageField kGetElement[] = {
    EditField("Array Index", "ArrayIndex", FieldKind::Long),
    EditField("Array Number", "ArrayNumber", FieldKind::Long),
};
constexpr PageField kSetElement[] = {
    EditField("Array Index", "ArrayIndex", FieldKind::Long),
};
constexpr PageField kConcatArray[] = {
    NoteField(kNoPropertiesNote),
};
constexpr PageField kSubArray[] = {
    EditField("Start Index", "StartIndex", FieldKind::Long),
    EditField("End Index", "EndIndex", FieldKind::Long),
    EditField("Array Number", "ArrayNumber", FieldKind::Long),
    NoteField("Note: The array number indicates the position in the input array from which the "
              "output array will be extracted. For VB, this can be thought of as the column "
              "number. It is zero based."),
};
constexpr PageField kPack[] = {
    EditField("Array Number", "ArrayNumber", FieldKind::Long),
    CheckBoxField(kClearOnOutput, "ClearOnOutput"),
    NoteField("Note: The array number indicates the position in the output array where the "
              "input array will be packed. For VB, this can be thought of as the column number. "
              "It is zero based."),
};
constexpr PageField kUnpack[] = {
    EditField("Array Number", "ArrayNumber", FieldKind::Long),
    NoteField("Note: The array number indicates the position in the input array from which the "
              "output array will be unpacked. For VB, this can be thought of as the column "
              "number. It is zero based."),
};

const PageRow kRows[] = {
    {"COVCollectorPropPage", "General", kCollector},
    {"COVGetElementPropPage", "General", kGetElement},
    {"COVSetElementPropPage", "General", kSetElement},
    {"COVConcatArrayPropPage", "General", kConcatArray},
    {"COVSubArrayPropPage", "General", kSubArray},
    {"COVPackPropPage", "General", kPack},
    {"COVUnpackPropPage", "General", kUnpack},
};

}  // namespace

std::span<const PageRow> ArrayPages() {
    return kRows;
}
