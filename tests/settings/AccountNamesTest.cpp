#include <gtest/gtest.h>

#include "platform/posix/AccountNames.h"

namespace krl {
namespace {

TEST(AccountNames, FullNameIsTheFirstPartOfTheCommentField) {
    struct Case {
        const char* gecos;
        const char* login;
        const char* name;
    };
    const Case cases[] = {
        {"Ann Caller,Room 4,555-1234,,", "ann", "Ann Caller"},
        {"Ann Caller", "ann", "Ann Caller"},
        {"  Ann Caller  ,", "ann", "Ann Caller"},
        {"", "ann", ""},
        {",Room 4", "ann", ""},
        {"& Smith", "jane", "Jane Smith"},  // "&" is the login name, capitalised
        {"&", "", ""},
        {"J\xc3\xb6rg M\xc3\xbcller", "joerg", "J\xc3\xb6rg M\xc3\xbcller"},  // UTF-8 kept whole
    };
    for (const Case& c : cases)
        EXPECT_EQ(fullNameFromGecos(c.gecos, c.login), c.name) << c.gecos;
}

TEST(AccountNames, CompanyIsTheFirstLineOfTheOrganizationValue) {
    const std::pair<const char*, const char*> cases[] = {
        {"Brightmar Ltd", "Brightmar Ltd"},
        {"  Brightmar Ltd \t", "Brightmar Ltd"},
        {"Brightmar Ltd\nsecond line", "Brightmar Ltd"},
        {"", ""},
        {"/etc/organization", ""},  // a file's path is not a company
    };
    for (const auto& [organization, company] : cases)
        EXPECT_EQ(companyFromOrganization(organization), company) << organization;
}

}  // namespace
}  // namespace krl
