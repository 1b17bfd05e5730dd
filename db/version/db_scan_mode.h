/* Modes of the catalogue scans of states and versions (DB_state_scan,
 * DB_version_scan): open and deliver the first row, deliver the next row,
 * close. */
#ifndef DB_SCAN_MODE_H
#define DB_SCAN_MODE_H

#define DB_SCAN_OPEN 1
#define DB_SCAN_NEXT 2
#define DB_SCAN_CLOSE 3

#endif
