#include "support/failure.h"

#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

namespace quorvane::support {
namespace {

// The failure that `call` passed on to its caller (number 0 when it passed none).
Failure passedOn(const std::function<void()>& call) {
    try {
        call();
    } catch (const RunTimeError& error) {
        return error.failure();
    }
    return Failure{};
}

// Names a table row's test after the row.
template <class Row> std::string rowName(const ::testing::TestParamInfo<Row>& row) {
    return row.param.name;
}

TEST(Trap, ResumeSilentlyGoesOnAndPassesTheSecondFailureToTheCaller) {
    Trap trap = Trap::resumeSilently();
    std::vector<int> completed;
    auto step = [&](int label, int failing) {
        return trap.run(label, [&] {
            if (failing != 0) {
                raise(failing);
            }
            completed.push_back(label);
        });
    };

    EXPECT_TRUE(step(10, 0));
    EXPECT_FALSE(step(20, errors::kOverflow));
    EXPECT_TRUE(step(30, 0));
    EXPECT_EQ(passedOn([&] { step(40, errors::kDiskFull); }), failure(errors::kDiskFull));

    EXPECT_EQ(completed, (std::vector<int>{10, 30}));
    EXPECT_FALSE(trap.armed());
    ASSERT_NE(trap.absorbed(), nullptr);
    EXPECT_EQ(*trap.absorbed(), failure(errors::kOverflow));
}

struct LoggedLabelRow {
    const char* name;
    std::vector<int> labelsBefore;
    int failingLabel;
    int expectedLabel;
};

void PrintTo(const LoggedLabelRow& row, std::ostream* out) {
    *out << row.name;
}

class TrapLogAndResume : public ::testing::TestWithParam<LoggedLabelRow> {};

TEST_P(TrapLogAndResume, LogsLabelAndFailureOnceAndPassesTheSecondFailureOn) {
    const LoggedLabelRow& row = GetParam();
    std::vector<std::pair<Failure, int>> logged;
    Trap trap = Trap::logAndResume(
        [&](const Failure& failure, int label) { logged.emplace_back(failure, label); });

    for (int label : row.labelsBefore) {
        trap.run(label, [] {});
    }
    auto fail = [](int number) { return [number] { raise(number); }; };
    if (row.failingLabel != 0) {
        EXPECT_FALSE(trap.run(row.failingLabel, fail(errors::kOverflow)));
    } else {
        EXPECT_FALSE(trap.run(fail(errors::kOverflow)));
    }
    bool resumed = false;
    EXPECT_TRUE(trap.run(2975, [&] { resumed = true; }));
    EXPECT_EQ(passedOn([&] { trap.run(2980, fail(errors::kTypeMismatch)); }),
              failure(errors::kTypeMismatch));

    EXPECT_TRUE(resumed);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].first, failure(errors::kOverflow));
    EXPECT_EQ(logged[0].second, row.expectedLabel);
}

INSTANTIATE_TEST_SUITE_P(
    Labels, TrapLogAndResume,
    ::testing::Values(LoggedLabelRow{"InTheLabelledStatement", {2945, 2955}, 2965, 2965},
                      LoggedLabelRow{"UnlabelledAfterALabel", {2945, 2955}, 0, 2955},
                      LoggedLabelRow{"BeforeAnyLabel", {}, 0, 0}),
    rowName<LoggedLabelRow>);

TEST(Trap, FailingLoggerPassesItsOwnFailureOn) {
    int calls = 0;
    Trap trap = Trap::logAndResume([&](const Failure&, int) {
        ++calls;
        raise(errors::kPathFileAccessError);
    });

    EXPECT_EQ(passedOn([&] { trap.run(2975, [] { raise(errors::kOverflow); }); }),
              failure(errors::kPathFileAccessError));
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(trap.armed());
}

struct ErrorTextRow {
    const char* name;
    Failure failure;
    std::string expected;
};

void PrintTo(const ErrorTextRow& row, std::ostream* out) {
    *out << row.name;
}

class TrapErrorText : public ::testing::TestWithParam<ErrorTextRow> {};

TEST_P(TrapErrorText, ComposesNumberAndDescriptionIntoTheCallersText) {
    const ErrorTextRow& row = GetParam();
    std::string text = "left from an earlier call";
    Trap trap = Trap::errorText(text);

    EXPECT_FALSE(trap.run(1, [&] { raise(row.failure); }));

    EXPECT_EQ(text, row.expected);
    EXPECT_EQ(errorText(row.failure), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, TrapErrorText,
    ::testing::Values(
        ErrorTextRow{"Catalogued", failure(errors::kTypeMismatch), "Error 13: Type mismatch"},
        ErrorTextRow{"Unknown", failure(1234), "Error 1234: Application-defined error"},
        ErrorTextRow{"NegativeWithOwnDescription",
                     Failure{-2147012889, "The server name or address could not be resolved"},
                     "Error -2147012889: The server name or address could not be resolved"}),
    rowName<ErrorTextRow>);

struct CatalogueRow {
    const char* name;
    int number;
    std::string description;
};

void PrintTo(const CatalogueRow& row, std::ostream* out) {
    *out << row.name;
}

class FailureCatalogue : public ::testing::TestWithParam<CatalogueRow> {};

TEST_P(FailureCatalogue, DescribesTheNumberAndRaisesItWithThatDescription) {
    const CatalogueRow& row = GetParam();

    EXPECT_EQ(describe(row.number), row.description);
    EXPECT_EQ(passedOn([&] { raise(row.number); }), (Failure{row.number, row.description}));
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, FailureCatalogue,
    ::testing::Values(
        CatalogueRow{"Overflow", errors::kOverflow, "Overflow"},
        CatalogueRow{"TypeMismatch", errors::kTypeMismatch, "Type mismatch"},
        CatalogueRow{"BadFileName", errors::kBadFileName, "Bad file name or number"},
        CatalogueRow{"FileNotFound", errors::kFileNotFound, "File not found"},
        CatalogueRow{"DeviceIoError", errors::kDeviceIoError, "Device I/O error"},
        CatalogueRow{"DiskFull", errors::kDiskFull, "Disk full"},
        CatalogueRow{"PermissionDenied", errors::kPermissionDenied, "Permission denied"},
        CatalogueRow{"PathFileAccessError", errors::kPathFileAccessError, "Path/File access error"},
        CatalogueRow{"PathNotFound", errors::kPathNotFound, "Path not found"},
        CatalogueRow{"FormAlreadyShown", errors::kFormAlreadyShown,
                     "Form already displayed; can't show modally"},
        CatalogueRow{"UnknownZero", 0, "Application-defined error"},
        CatalogueRow{"UnknownNegative", -1, "Application-defined error"},
        CatalogueRow{"UnknownLarge", 9999, "Application-defined error"}),
    rowName<CatalogueRow>);

} // namespace
} // namespace quorvane::support
