// What each property of the calendar's block is: the control block's fields and the three font
// groups (whose members are font.h's). DataFormat's are in dataformat.cpp.
#pragma once

#include "tvx/property.h"

namespace tvx::calendar {

inline constexpr Constant kDayLengths[] = {{0, "Short"}, {1, "Medium"}, {2, "Long"}};
inline constexpr Constant kMonthLengths[] = {{0, "Short"}, {2, "Long"}};
inline constexpr Constant kDays[] = {{1, "Sunday"},    {2, "Monday"},   {3, "Tuesday"},
                                     {4, "Wednesday"}, {5, "Thursday"}, {6, "Friday"},
                                     {7, "Saturday"}};
inline constexpr Constant kCellEffects[] = {{0, "Flat"}, {1, "Raised"}, {2, "Sunken"}};

using T = PropertyType;
inline constexpr PropertyDef kVersion = {"_Version",
                                         T::kInteger,
                                         {},
                                         "the version of the control that saved the stream",
                                         "control block offset 8: a long"};
inline constexpr PropertyDef kExtentX = {"_ExtentX",
                                         T::kInteger,
                                         {},
                                         "the control's width when it was saved, in HIMETRIC",
                                         "control block offset 12: a long"};
inline constexpr PropertyDef kExtentY = {"_ExtentY",
                                         T::kInteger,
                                         {},
                                         "the control's height when it was saved, in HIMETRIC",
                                         "control block offset 16: a long"};
inline constexpr PropertyDef kBackColor = {
    "BackColor", T::kColour, {}, "the background colour", "control block offset 26: a long"};
inline constexpr PropertyDef kYear = {
    "Year", T::kInteger, {}, "the year shown", "control block offset 20: a word"};
inline constexpr PropertyDef kMonth = {
    "Month", T::kInteger, {}, "the month shown", "control block offset 22: a word"};
inline constexpr PropertyDef kDay = {
    "Day", T::kInteger, {}, "the day chosen", "control block offset 24: a word"};
inline constexpr PropertyDef kDayLength = {"DayLength", T::kEnumerated, kDayLengths,
                                           "how the days' names are written",
                                           "control block offset 46: a word"};
inline constexpr PropertyDef kMonthLength = {"MonthLength", T::kEnumerated, kMonthLengths,
                                             "how the months' names are written",
                                             "control block offset 50: a word"};
inline constexpr PropertyDef kDayFontColor = {"DayFontColor",
                                              T::kColour,
                                              {},
                                              "the colour of the days' names",
                                              "control block offset 30: a long"};
inline constexpr PropertyDef kFirstDay = {"FirstDay", T::kEnumerated, kDays,
                                          "the day the weeks start with",
                                          "control block offset 48: a word"};
inline constexpr PropertyDef kGridCellEffect = {"GridCellEffect", T::kEnumerated, kCellEffects,
                                                "how the grid's cells are drawn",
                                                "control block offset 54: a long"};
inline constexpr PropertyDef kGridFontColor = {
    "GridFontColor", T::kColour, {}, "the colour of the dates", "control block offset 34: a long"};
inline constexpr PropertyDef kGridLinesColor = {"GridLinesColor",
                                                T::kColour,
                                                {},
                                                "the colour of the grid's lines",
                                                "control block offset 38: a long"};
inline constexpr PropertyDef kShowDateSelectors = {"ShowDateSelectors",
                                                   T::kBoolean,
                                                   {},
                                                   "whether the month and year lists show",
                                                   "control block offset 58: a long, 0 False"};
inline constexpr PropertyDef kShowDays = {"ShowDays",
                                          T::kBoolean,
                                          {},
                                          "whether the days' names show",
                                          "control block offset 62: a long, 0 False"};
inline constexpr PropertyDef kShowHorizontalGrid = {"ShowHorizontalGrid",
                                                    T::kBoolean,
                                                    {},
                                                    "whether the grid's rows are drawn",
                                                    "control block offset 66: a long, 0 False"};
inline constexpr PropertyDef kShowTitle = {"ShowTitle",
                                           T::kBoolean,
                                           {},
                                           "whether the title shows",
                                           "control block offset 70: a long, 0 False"};
inline constexpr PropertyDef kShowVerticalGrid = {"ShowVerticalGrid",
                                                  T::kBoolean,
                                                  {},
                                                  "whether the grid's columns are drawn",
                                                  "control block offset 74: a long, 0 False"};
inline constexpr PropertyDef kTitleFontColor = {
    "TitleFontColor", T::kColour, {}, "the colour of the title", "control block offset 42: a long"};
inline constexpr PropertyDef kValueIsNull = {
    "ValueIsNull",
    T::kBoolean,
    {},
    "whether no date is chosen",
    "control block offset 78: a long, all bits set True, written as the number read otherwise"};
inline constexpr PropertyDef kDayFont = {"DayFont",
                                         T::kGroup,
                                         {},
                                         "the font of the days' names",
                                         "the first font record, after the control block"};
inline constexpr PropertyDef kGridFont = {
    "GridFont", T::kGroup, {}, "the font of the dates", "the second font record"};
inline constexpr PropertyDef kTitleFont = {
    "TitleFont", T::kGroup, {}, "the font of the title", "the third font record"};

}  // namespace tvx::calendar
