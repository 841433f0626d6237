// Version numbers of the deliverables, the one place the version resources,
// the setup program and the release's file names take them from.
#pragma once

// Each deliverable's file and product version, as four numbers.
#define KOVO_CONNECTOR_VERSION 4, 2, 20, 0
#define KOVO_SERVER_VERSION 4, 2, 0, 3
#define KOVO_ADDIN_VERSION 4, 2, 0, 5

// The release a user installs carries the server's version: the server is the
// program the product is started as, and its version resource names the product.
#define KOVO_RELEASE_VERSION KOVO_SERVER_VERSION

// The dotted text of a version: KOVO_VERSION_TEXT(KOVO_SERVER_VERSION) is "4.2.0.3".
#define KOVO_VERSION_TEXT(version) KOVO_VERSION_TEXT_OF(version)
#define KOVO_VERSION_TEXT_OF(a, b, c, d) #a "." #b "." #c "." #d
