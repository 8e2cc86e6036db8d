// The test dialog that holds the check lists under test.
#pragma once

#define IDD_CHECKLIST_HOST 3001
#define IDC_TEST_LIST 3101
#define IDC_SHORT_LIST 3102
#define IDC_SPARE_LIST 3103
