#include "protocol/decode_input_command.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "support/payload_bytes.h"

namespace tarnu::protocol {
namespace {

using support::concat;
using support::hex_bytes;
using Bytes = std::vector<std::uint8_t>;
using Outcome = std::variant<InputCommand, std::string>;

Bytes h(std::string_view hex) { return hex_bytes(hex); }
Bytes s(std::string_view text) { return support::str(text); }

InputCommand move(std::int32_t x, std::int32_t y, std::optional<MouseButton> drag = {}) {
  return InputCommand{InputCommand::MouseMove{x, y, drag}};
}
InputCommand button(MouseButton which, bool down, std::int32_t x, std::int32_t y) {
  return InputCommand{InputCommand::MouseButton{which, down, x, y}};
}
InputCommand scroll(std::int32_t dx, std::int32_t dy) {
  return InputCommand{InputCommand::Scroll{dx, dy}};
}
InputCommand key(std::uint16_t code, bool down) {
  return InputCommand{InputCommand::Key{code, down}};
}
const InputCommand kReleaseAll{InputCommand::ReleaseAll{}};
const InputCommand kSecureAttention{InputCommand::SecureAttention{}};

std::string describe(const Outcome& outcome) {
  if (const auto* error = std::get_if<std::string>(&outcome)) {
    return "error \"" + *error + "\"";
  }
  return "command of variant " + std::to_string(std::get<InputCommand>(outcome).value.index());
}

struct Case {
  std::string name;
  Bytes payload;
  Outcome expected;  // a command, or the message after "decode input command: "
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class DecodeTest : public ::testing::TestWithParam<Case> {};

TEST_P(DecodeTest, GivesExactlyTheCommandOrTheMessage) {
  const Case& c = GetParam();
  const Result<InputCommand> result = decode_input_command(c.payload);
  const Outcome actual = result ? Outcome(*result) : Outcome(result.error());
  Outcome expected = c.expected;
  if (auto* message = std::get_if<std::string>(&expected)) {
    *message = "decode input command: " + *message;
  }
  EXPECT_TRUE(actual == expected) << "expected " << describe(expected) << "\n  actual "
                                  << describe(actual);
}

std::string case_name(const ::testing::TestParamInfo<Case>& info) { return info.param.name; }

// Entry helpers for the readable cases below.
Bytes map_of(std::size_t entries) { return {static_cast<std::uint8_t>(0x80 | entries)}; }
Bytes array_of(std::size_t elements) { return {static_cast<std::uint8_t>(0x90 | elements)}; }
Bytes tag(std::string_view name) { return concat({s("type"), s(name)}); }
Bytes entry(std::string_view name, const Bytes& value) { return concat({s(name), value}); }

const std::string kUnknownCommand =
    "`, expected one of `mouseMove`, `mouseButton`, `scroll`, `key`, `releaseAll`, "
    "`secureAttention`";
const std::string kUnknownButton =
    "`, expected one of `left`, `right`, `middle`, `back`, `forward`";

// A mouseMove whose x holds the given value; y is fine.
Bytes move_with_x(const Bytes& x) {
  return concat({map_of(3), tag("mouseMove"), entry("x", x), entry("y", h("00"))});
}
// A mouseButton whose button holds the given value.
Bytes press_with_button(const Bytes& value) {
  return concat({map_of(5), tag("mouseButton"), entry("button", value), entry("down", h("c3")),
                 entry("x", h("01")), entry("y", h("02"))});
}
Bytes key_with_code(const Bytes& code) {
  return concat({map_of(3), tag("key"), entry("key_code", code), entry("down", h("c3"))});
}
Bytes key_with_down(const Bytes& down) {
  return concat({map_of(3), tag("key"), entry("key_code", h("41")), entry("down", down)});
}
Bytes with_tag_value(const Bytes& value) { return concat({map_of(1), s("type"), value}); }

std::vector<Case> example_cases() {
  const std::vector<Outcome> commands = {move(100, 200),
                                         move(-5, 300, MouseButton::kLeft),
                                         button(MouseButton::kRight, true, 10, 20),
                                         scroll(0, -1),
                                         key(0x41, true),
                                         kReleaseAll,
                                         kSecureAttention,
                                         scroll(0, -1),
                                         kReleaseAll};
  std::vector<Case> cases;
  for (std::size_t i = 0; i < commands.size(); ++i) {
    const auto& example = support::example_payloads()[i];
    cases.push_back({"Example" + example.name, h(example.hex), commands[i]});
  }
  return cases;
}
INSTANTIATE_TEST_SUITE_P(Examples, DecodeTest, ::testing::ValuesIn(example_cases()), case_name);

// Other accepted spellings of the same commands.
INSTANTIATE_TEST_SUITE_P(
    Forms, DecodeTest,
    ::testing::Values(
        Case{"TagLast",
             concat({map_of(3), entry("x", h("01")), entry("y", h("02")), tag("mouseMove")}),
             move(1, 2)},
        Case{"WiderIntegers",
             concat({map_of(3), tag("mouseMove"), entry("x", h("cd 00 64")),
                     entry("y", h("d2 00 00 00 c8"))}),
             move(100, 200)},
        Case{"EveryIntegerFormat",
             concat({map_of(3), tag("scroll"), entry("delta_x", h("cf 00 00 00 00 7f ff ff ff")),
                     entry("delta_y", h("d3 ff ff ff ff 80 00 00 00"))}),
             scroll(2147483647, -2147483647 - 1)},
        Case{"BinNames",
             concat({map_of(3), h("c4 04 74 79 70 65 c4 06 73 63 72 6f 6c 6c"),
                     h("c4 07 64 65 6c 74 61 5f 78 01"), h("c4 07 64 65 6c 74 61 5f 79 02")}),
             scroll(1, 2)},
        Case{"Str8Tag",
             concat({map_of(1), s("type"), h("d9 0a"),
                     Bytes{'r', 'e', 'l', 'e', 'a', 's', 'e', 'A', 'l', 'l'}}),
             kReleaseAll},
        Case{"Map16AndArray16",
             concat({h("de 00 03"), tag("key"), entry("key_code", h("cc 41")),
                     entry("down", h("c2"))}),
             key(0x41, false)},
        Case{"Array16", concat({h("dc 00 03"), s("scroll"), h("05 06")}), scroll(5, 6)},
        Case{"TagIndex",
             concat({map_of(3), s("type"), h("03"), entry("key_code", h("41")),
                     entry("down", h("c3"))}),
             key(0x41, true)},
        Case{"TagIndexUint64", with_tag_value(h("cf 00 00 00 00 00 00 00 05")), kSecureAttention},
        Case{"TagIndexInArray", h("93 02 01 02"), scroll(1, 2)},
        Case{"IntegerFieldKeys", concat({map_of(3), tag("scroll"), h("00 01 01 ff")}),
             scroll(1, -1)},
        Case{"Uint8AndUint64FieldKeys",
             concat({map_of(3), tag("scroll"), h("cc 00 01"), h("cf 00 00 00 00 00 00 00 01 ff")}),
             scroll(1, -1)},
        Case{"UnknownIndexKeyIgnored",
             concat({map_of(4), tag("scroll"), h("00 01 01 ff"), h("07"), s("junk")}),
             scroll(1, -1)},
        Case{"UnknownFieldsIgnored",
             concat({map_of(4), tag("key"), entry("key_code", h("41")), entry("down", h("c2")),
                     entry("extra", h("93 01 02 03"))}),
             key(0x41, false)},
        Case{"OtherVariantsFieldIgnored",
             concat({map_of(4), tag("mouseMove"), entry("down", h("c1")), entry("x", h("01")),
                     entry("y", h("02"))}),
             "wrong msgpack marker Reserved"},
        Case{"OtherVariantsFieldNotExamined",
             concat({map_of(4), tag("mouseMove"), entry("down", h("05")), entry("x", h("01")),
                     entry("y", h("02"))}),
             move(1, 2)},
        Case{"NonUtf8KeyIsUnknownField",
             concat({map_of(4), tag("key"), h("a2 ff fe 01"), entry("key_code", h("41")),
                     entry("down", h("c3"))}),
             key(0x41, true)},
        Case{"ReleaseAllIgnoresEntries",
             concat({map_of(3), tag("releaseAll"), entry("x", s("junk")), h("07 91 c0")}),
             kReleaseAll},
        Case{"SecureAttentionIgnoresEntries",
             concat({map_of(2), tag("secureAttention"), entry("down", h("05"))}), kSecureAttention},
        Case{"TrailingBytesIgnored", concat({support::example_bytes("ReleaseAll"), h("c1 c1")}),
             kReleaseAll},
        Case{"Int32Bounds",
             concat({map_of(3), tag("mouseMove"), entry("x", h("d2 80 00 00 00")),
                     entry("y", h("ce 7f ff ff ff"))}),
             move(-2147483647 - 1, 2147483647)},
        Case{"KeyCodeMax", key_with_code(h("cd ff ff")), key(65535, true)},
        Case{"KeyCodeAsSignedFormat", key_with_code(h("d1 00 41")), key(0x41, true)}));

INSTANTIATE_TEST_SUITE_P(
    Buttons, DecodeTest,
    ::testing::Values(
        Case{"Name", press_with_button(s("left")), button(MouseButton::kLeft, true, 1, 2)},
        Case{"MapToNil", press_with_button(concat({map_of(1), s("middle"), h("c0")})),
             button(MouseButton::kMiddle, true, 1, 2)},
        Case{"MapToEmptyMap", press_with_button(concat({map_of(1), s("left"), h("80")})),
             button(MouseButton::kLeft, true, 1, 2)},
        Case{"MapIndexKey", press_with_button(h("81 00 c0")),
             button(MouseButton::kLeft, true, 1, 2)},
        Case{"MapUint64IndexKey", press_with_button(h("81 cf 00 00 00 00 00 00 00 04 c0")),
             button(MouseButton::kForward, true, 1, 2)},
        Case{"MapBinKey", press_with_button(h("81 c4 04 62 61 63 6b c0")),
             button(MouseButton::kBack, true, 1, 2)},
        Case{"MapValueNotUnit", press_with_button(concat({map_of(1), s("left"), h("01")})),
             "invalid type: integer `1`, expected unit"},
        Case{"MapValueNonEmptyMap",
             press_with_button(concat({map_of(1), s("left"), map_of(1), h("c0 c0")})),
             "invalid type: map, expected unit"},
        Case{"NameCheckedBeforeValue", press_with_button(concat({map_of(1), s("Left"), h("01")})),
             "unknown variant `Left" + kUnknownButton},
        Case{"EmptyMap", press_with_button(h("80")),
             "invalid value: map, expected map with a single key"},
        Case{"TwoEntryMap",
             press_with_button(concat({map_of(2), s("left"), h("c0"), s("right"), h("c0")})),
             "invalid value: map, expected map with a single key"},
        Case{"BareIndex", press_with_button(h("02")),
             "invalid type: integer `2`, expected string or map"},
        Case{"Nil", press_with_button(h("c0")), "invalid type: unit value, expected string or map"},
        Case{"Bin", press_with_button(h("c4 04 6c 65 66 74")),
             "invalid type: byte array, expected string or map"},
        Case{"UnknownName", press_with_button(s("Left")), "unknown variant `Left" + kUnknownButton},
        Case{"UnknownBinKeyLossy", press_with_button(h("81 c4 03 6c ff 74 c0")),
             "unknown variant `l\xEF\xBF\xBDt" + kUnknownButton},
        Case{"IndexOutOfRange", press_with_button(h("81 05 c0")),
             "invalid value: integer `5`, expected variant index 0 <= i < 5"},
        Case{"Uint16IndexKey", press_with_button(h("81 cd 00 01 c0")),
             "invalid type: integer `1`, expected variant identifier"},
        Case{"BooleanKey", press_with_button(h("81 c3 c0")),
             "invalid type: boolean `true`, expected variant identifier"},
        Case{"DragNil",
             concat({map_of(4), tag("mouseMove"), entry("x", h("01")), entry("y", h("02")),
                     entry("drag_button", h("c0"))}),
             move(1, 2)},
        Case{"DragBack",
             concat({map_of(4), tag("mouseMove"), entry("x", h("01")), entry("y", h("02")),
                     entry("drag_button", s("back"))}),
             move(1, 2, MouseButton::kBack)},
        Case{"DragByIndexKey",
             concat({map_of(4), tag("mouseMove"), h("00 01 01 02 02"), s("right")}),
             move(1, 2, MouseButton::kRight)},
        Case{"DragInvalid",
             concat({map_of(4), tag("mouseMove"), entry("x", h("01")), entry("y", h("02")),
                     entry("drag_button", h("c3"))}),
             "invalid type: boolean `true`, expected string or map"}));

INSTANTIATE_TEST_SUITE_P(
    ArrayForm, DecodeTest,
    ::testing::Values(
        Case{"Scroll", concat({array_of(3), s("scroll"), h("00 ff")}), scroll(0, -1)},
        Case{"ScrollTooShort", concat({array_of(2), s("scroll"), h("00")}),
             "invalid length 1, expected struct variant InputCommand::Scroll with 2 elements"},
        Case{"ScrollTooLong", concat({array_of(4), s("scroll"), h("00 ff 05")}),
             "invalid length 3, expected 2 elements in sequence"},
        Case{"MouseMoveTooShort", concat({array_of(3), s("mouseMove"), h("01 02")}),
             "invalid length 2, expected struct variant InputCommand::MouseMove with 3 elements"},
        Case{"MouseMoveNilDrag", concat({array_of(4), s("mouseMove"), h("01 02 c0")}), move(1, 2)},
        Case{"MouseMoveDrag", concat({array_of(4), s("mouseMove"), h("01 02"), s("forward")}),
             move(1, 2, MouseButton::kForward)},
        Case{"MouseButton", concat({array_of(5), s("mouseButton"), s("middle"), h("c2 01 02")}),
             button(MouseButton::kMiddle, false, 1, 2)},
        Case{"MouseButtonTooShort", concat({array_of(2), s("mouseButton"), s("left")}),
             "invalid length 1, expected struct variant InputCommand::MouseButton with 4 elements"},
        Case{"Key", concat({array_of(3), s("key"), h("41 c3")}), key(0x41, true)},
        Case{"KeyTooShort", concat({array_of(1), s("key")}),
             "invalid length 0, expected struct variant InputCommand::Key with 2 elements"},
        Case{"PresentFieldsDecodedBeforeLength", concat({array_of(2), s("scroll"), s("a")}),
             "invalid type: string \"a\", expected i32"},
        Case{"AllFieldsDecodedBeforeLength",
             concat({array_of(4), s("scroll"), h("00"), s("a"), h("05")}),
             "invalid type: string \"a\", expected i32"},
        Case{"ReleaseAll", concat({array_of(1), s("releaseAll")}), kReleaseAll},
        Case{"ReleaseAllWithElement", concat({array_of(2), s("releaseAll"), h("01")}),
             "invalid length 1, expected 0 elements in sequence"},
        Case{"SecureAttentionWithElements", concat({array_of(3), s("secureAttention"), h("01 02")}),
             "invalid length 2, expected 0 elements in sequence"},
        Case{"Empty", h("90"), "missing field `type`"},
        Case{"BadTag", h("91 c3"), "invalid type: boolean `true`, expected variant identifier"}));

INSTANTIATE_TEST_SUITE_P(
    TagFaults, DecodeTest,
    ::testing::Values(
        Case{"MissingInMap", h("80"), "missing field `type`"},
        Case{"CaseMatters",
             concat({map_of(3), s("Type"), s("key"), entry("key_code", h("41")),
                     entry("down", h("c3"))}),
             "missing field `type`"},
        Case{"Duplicate",
             concat({map_of(4), tag("key"), tag("key"), entry("key_code", h("01")),
                     entry("down", h("c3"))}),
             "duplicate field `type`"},
        Case{"DuplicateBeforeItsValueIsRead", concat({map_of(2), tag("key"), s("type"), h("c1")}),
             "duplicate field `type`"},
        Case{"IndexOutOfRange", with_tag_value(h("06")),
             "invalid value: integer `6`, expected variant index 0 <= i < 6"},
        Case{"Uint64OutOfRange", with_tag_value(h("cf ff ff ff ff ff ff ff ff")),
             "invalid value: integer `18446744073709551615`, expected variant index 0 <= i < 6"},
        Case{"SignedFormat", with_tag_value(h("d0 03")),
             "invalid type: integer `3`, expected variant identifier"},
        Case{"NegativeFixint", with_tag_value(h("ff")),
             "invalid type: integer `-1`, expected variant identifier"},
        Case{"Nil", with_tag_value(h("c0")),
             "invalid type: unit value, expected variant identifier"},
        Case{"Float", with_tag_value(h("cb 3f f0 00 00 00 00 00 00")),
             "invalid type: floating point `1.0`, expected variant identifier"},
        Case{"ArrayHeaderOnly", with_tag_value(h("92")),
             "invalid type: sequence, expected variant identifier"},
        Case{"MapHeaderOnly", with_tag_value(h("de 00 05")),
             "invalid type: map, expected variant identifier"},
        Case{"ExtHeaderOnly", with_tag_value(h("c7 05")),
             "invalid type: newtype struct, expected variant identifier"},
        Case{"UnknownName", with_tag_value(s("MouseMove")),
             "unknown variant `MouseMove" + kUnknownCommand},
        Case{"UnknownNameUnquoted", with_tag_value(s("a\"b\n")),
             "unknown variant `a\"b\n" + kUnknownCommand},
        Case{"UnknownBinLossy", with_tag_value(h("c4 03 61 ff 62")),
             "unknown variant `a\xEF\xBF\xBD"
             "b" +
                 kUnknownCommand},
        Case{"InvalidUtf8", with_tag_value(h("a1 ff")),
             "string found to be invalid utf8: invalid utf-8 sequence of 1 bytes from index 0"},
        Case{"IncompleteUtf8", with_tag_value(h("a4 61 62 e2 82")),
             "string found to be invalid utf8: incomplete utf-8 byte sequence from index 2"},
        Case{"InvalidUtf8ThirdByte", with_tag_value(h("a4 61 e2 82 41")),
             "string found to be invalid utf8: invalid utf-8 sequence of 2 bytes from index 1"},
        Case{"TagFaultBeforeLaterReadFault", concat({map_of(2), tag("mouse"), s("x"), h("a5 61")}),
             "unknown variant `mouse" + kUnknownCommand}));

INSTANTIATE_TEST_SUITE_P(
    FieldFaults, DecodeTest,
    ::testing::Values(
        Case{"DuplicateField",
             concat({map_of(4), tag("key"), entry("key_code", h("41")), entry("key_code", h("42")),
                     entry("down", h("c3"))}),
             "duplicate field `key_code`"},
        Case{"ReadFaultInDuplicateValue",
             concat({map_of(4), tag("key"), entry("key_code", h("41")), h("00 c1"),
                     entry("down", h("c3"))}),
             "wrong msgpack marker Reserved"},
        Case{"DuplicateNotExamined",
             concat({map_of(4), tag("key"), entry("key_code", h("41")), h("00"), s("x"),
                     entry("down", h("c3"))}),
             "duplicate field `key_code`"},
        Case{"DuplicateNilDrag",
             concat({map_of(5), tag("mouseMove"), entry("drag_button", h("c0")),
                     entry("drag_button", s("left")), entry("x", h("00")), entry("y", h("00"))}),
             "duplicate field `drag_button`"},
        Case{"MissingButton", concat({map_of(2), tag("mouseButton"), entry("down", h("c3"))}),
             "missing field `button`"},
        Case{"MissingX",
             concat({map_of(3), tag("mouseButton"), entry("button", s("left")),
                     entry("down", h("c3"))}),
             "missing field `x`"},
        Case{"MissingFirstInDeclarationOrder", concat({map_of(1), tag("key")}),
             "missing field `key_code`"},
        Case{"Uint16Key", concat({map_of(2), tag("scroll"), h("cd 00 00 01")}),
             "invalid type: integer `0`, expected field identifier"},
        Case{"Uint32Key", concat({map_of(2), tag("scroll"), h("ce 00 00 00 01 01")}),
             "invalid type: integer `1`, expected field identifier"},
        Case{"SignedKey", concat({map_of(2), tag("scroll"), h("d0 00 01")}),
             "invalid type: integer `0`, expected field identifier"},
        Case{"NilKey", concat({map_of(2), tag("scroll"), h("c0 01")}),
             "invalid type: unit value, expected field identifier"},
        Case{"ArrayKey", concat({map_of(2), tag("scroll"), h("91 00 01")}),
             "invalid type: sequence, expected field identifier"},
        Case{"I32TooLarge", move_with_x(h("ce 80 00 00 00")),
             "invalid value: integer `2147483648`, expected i32"},
        Case{"I32TooSmall", move_with_x(h("d3 ff ff ff ff 7f ff ff ff")),
             "invalid value: integer `-2147483649`, expected i32"},
        Case{"I32Float", move_with_x(h("cb 3f f0 00 00 00 00 00 00")),
             "invalid type: floating point `1.0`, expected i32"},
        Case{"I32Float32", move_with_x(h("ca 3f c0 00 00")),
             "invalid type: floating point `1.5`, expected i32"},
        Case{"I32FloatTie", move_with_x(h("cb 43 15 50 f7 dc a7 00 01")),
             "invalid type: floating point `1500000000000000.3`, expected i32"},
        Case{"I32Nil", move_with_x(h("c0")), "invalid type: unit value, expected i32"},
        Case{"I32Boolean", move_with_x(h("c2")), "invalid type: boolean `false`, expected i32"},
        Case{"I32Text", move_with_x(s("1")), "invalid type: string \"1\", expected i32"},
        Case{"I32NonUtf8Str", move_with_x(h("a1 ff")), "invalid type: byte array, expected i32"},
        Case{"I32Array", move_with_x(h("90")), "invalid type: sequence, expected i32"},
        Case{"I32Map", move_with_x(h("80")), "invalid type: map, expected i32"},
        Case{"I32Ext", move_with_x(h("d4 01 00")), "invalid type: newtype struct, expected i32"},
        Case{"U16Negative", key_with_code(h("ff")), "invalid value: integer `-1`, expected u16"},
        Case{"U16TooLarge", key_with_code(h("ce 00 01 00 00")),
             "invalid value: integer `65536`, expected u16"},
        Case{"U16Text", key_with_code(s("a")), "invalid type: string \"a\", expected u16"},
        Case{"BooleanInteger", key_with_down(h("01")),
             "invalid type: integer `1`, expected a boolean"},
        Case{"BooleanNil", key_with_down(h("c0")), "invalid type: unit value, expected a boolean"},
        Case{"FirstFieldFaultWins",
             concat({map_of(3), tag("key"), entry("down", h("01")), entry("key_code", s("a"))}),
             "invalid type: integer `1`, expected a boolean"}));

INSTANTIATE_TEST_SUITE_P(
    ReadFaults, DecodeTest,
    ::testing::Values(
        Case{"Empty", {}, "IO error while reading marker: failed to fill whole buffer"},
        Case{"Nil", h("c0"),
             "invalid type: unit value, expected internally tagged enum InputCommand"},
        Case{"Integer", h("05"),
             "invalid type: integer `5`, expected internally tagged enum InputCommand"},
        Case{"NegativeInteger", h("d1 ff 00"),
             "invalid type: integer `-256`, expected internally tagged enum InputCommand"},
        Case{"Boolean", h("c3"),
             "invalid type: boolean `true`, expected internally tagged enum InputCommand"},
        Case{"Float32", h("ca 3f c0 00 00"),
             "invalid type: floating point `1.5`, expected internally tagged enum InputCommand"},
        Case{"Reserved", h("c1"), "wrong msgpack marker Reserved"},
        Case{"Text", s("hi"),
             "invalid type: string \"hi\", expected internally tagged enum InputCommand"},
        Case{"TextWithQuote", s("a\"b"),
             "invalid type: string \"a\\\"b\", expected internally tagged enum InputCommand"},
        Case{"TextInvalidUtf8", h("a2 c3 28"),
             "string found to be invalid utf8: invalid utf-8 sequence of 1 bytes from index 0"},
        Case{"Bin", h("c4 01 00"),
             "invalid type: byte array, expected internally tagged enum InputCommand"},
        Case{"BinCut", h("c4 05 00"), "IO error while reading data: unexpected end of file"},
        Case{"BinMarkerOnly", h("c4"), "IO error while reading data: failed to fill whole buffer"},
        Case{"ExtHeaderOnly", h("d4"),
             "invalid type: newtype struct, expected internally tagged enum InputCommand"},
        Case{"Ext8LengthCut", h("c7"), "IO error while reading data: failed to fill whole buffer"},
        Case{"MapPromisesMore", h("82 a4 74 79 70 65 a3 6b 65 79"),
             "IO error while reading marker: failed to fill whole buffer"},
        Case{"Uint16Cut", h("81 a4 74 79 70 65 cd 00"),
             "IO error while reading data: failed to fill whole buffer"},
        Case{"StrBodyCut", h("81 a4 74 79 70 65 a5 6b 65 79"),
             "IO error while reading data: unexpected end of file"},
        Case{"Map16CountCut", h("de 00"),
             "IO error while reading data: failed to fill whole buffer"},
        Case{"HugeArrayCount", h("dd ff ff ff ff"),
             "IO error while reading marker: failed to fill whole buffer"},
        Case{"HugeMapCount", h("df ff ff ff ff"),
             "IO error while reading marker: failed to fill whole buffer"},
        Case{"BufferedExtTypeCut", concat({map_of(2), tag("releaseAll"), s("a"), h("d4")}),
             "IO error while reading data: failed to fill whole buffer"},
        Case{"BufferedExtBodyCut", concat({map_of(2), tag("releaseAll"), s("a"), h("c7 05 01 00")}),
             "IO error while reading data: unexpected end of file"},
        Case{"BufferedReserved", concat({map_of(2), tag("releaseAll"), s("a"), h("92 00 c1")}),
             "wrong msgpack marker Reserved"},
        Case{"BufferedNonUtf8StrIsFine", concat({map_of(2), tag("releaseAll"), s("a"), h("a1 ff")}),
             kReleaseAll},
        Case{"ReadFaultBeforeTagLookup",
             concat({map_of(2), entry("x", h("cb 3f f8 00 00 00 00 00 00")), tag("mouse")}),
             "unknown variant `mouse" + kUnknownCommand},
        Case{"ReadFaultBeforeFieldFault",
             concat({map_of(3), tag("key"), entry("key_code", s("a")), s("down")}),
             "IO error while reading marker: failed to fill whole buffer"}));

TEST(DecodeTruncation, EveryPrefixOfEveryExampleIsAnEndOfPayloadFault) {
  for (const auto& example : support::example_payloads()) {
    const Bytes payload = h(example.hex);
    for (std::size_t length = 0; length < payload.size(); ++length) {
      const auto result =
          decode_input_command(std::span<const std::uint8_t>(payload.data(), length));
      ASSERT_FALSE(result) << example.name << " cut to " << length << " bytes decoded";
      EXPECT_TRUE(result.error() ==
                      "decode input command: IO error while reading marker: failed to fill "
                      "whole buffer" ||
                  result.error() ==
                      "decode input command: IO error while reading data: failed to fill whole "
                      "buffer" ||
                  result.error() ==
                      "decode input command: IO error while reading data: unexpected end of file")
          << example.name << " cut to " << length << ": " << result.error();
    }
  }
}

// {type: "releaseAll", a: v} with v made of `depth` arrays nested in each other.
Bytes release_all_with_nested_arrays(std::size_t depth, std::uint8_t innermost = 0x90) {
  Bytes payload = concat({map_of(2), tag("releaseAll"), s("a")});
  payload.insert(payload.end(), depth - 1, 0x91);
  payload.push_back(innermost);
  return payload;
}

TEST(DecodeNesting, AThousandAndTwentyThreeLevelsFitTheBudget) {
  const auto result = decode_input_command(release_all_with_nested_arrays(1022));
  ASSERT_TRUE(result) << result.error();
  EXPECT_EQ(*result, kReleaseAll);
}

TEST(DecodeNesting, TheThousandAndTwentyFourthLevelExceedsIt) {
  const auto result = decode_input_command(release_all_with_nested_arrays(1023));
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error(), "decode input command: depth limit exceeded");
}

TEST(DecodeNesting, MapsAndExtsCountAsLevelsToo) {
  // 1022 nested one-entry maps {nil: ...} ending in an ext: 1024 levels with the top map.
  Bytes payload = concat({map_of(2), tag("releaseAll"), s("a")});
  for (int level = 0; level < 1022; ++level) {
    payload.insert(payload.end(), {0x81, 0xc0});
  }
  payload.insert(payload.end(), {0xd4, 0x01, 0x00});
  const auto result = decode_input_command(payload);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error(), "decode input command: depth limit exceeded");
}

TEST(DecodeNesting, SiblingContainersDoNotAddUp) {
  // Two entries, each 1022 arrays deep, beside each other.
  Bytes payload = concat({map_of(3), tag("releaseAll")});
  for (const char* name : {"a", "b"}) {
    const Bytes key = s(name);
    payload.insert(payload.end(), key.begin(), key.end());
    payload.insert(payload.end(), 1021, 0x91);
    payload.push_back(0x90);
  }
  const auto result = decode_input_command(payload);
  ASSERT_TRUE(result) << result.error();
}

}  // namespace
}  // namespace tarnu::protocol
