// The build of the DBMS this engine is made for: its release text, build date
// and build number. The DBMS properties report them (DB_dbms_get_rev) and the
// engine's release record carries them in its description.
#ifndef VE_RELEASE_INTERNAL_H
#define VE_RELEASE_INTERNAL_H

#define VE_DBMS_RELEASE_TEXT "(Service Pack 1) Informix"
#define VE_DBMS_BUILD_DATE "Thu Jun 14 09:49:38 PDT 2001"
#define VE_DBMS_BUILD_NUMBER 580

#endif
