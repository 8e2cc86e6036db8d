// The tests' own host dialog; its id lies outside the program's resource ids.
#pragma once

#define IDD_TEST_HOST 9000
