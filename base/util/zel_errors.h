// Engine status codes. Every function of the library returns 0 for success or
// one of these negative codes; 100 and 110 are the no-more-data results of the
// statement primitives. Stored routines raise the same codes offset by -20000.
// Keep the list sorted by number; one #define per line (merged as a union).
#ifndef ZEL_ERRORS_H
#define ZEL_ERRORS_H

// clang-format off
#define ZE_SUCCESS 0                  /* success */
#define ZE_FAILURE (-1)               /* unspecified failure; unmapped geometry result */
#define ZE_PATH_UNUSABLE (-2)         /* path is not a directory or lacks read and write access */
#define ZE_PROCESS_NOT_STARTED (-2)   /* a child process or the death watcher could not be started */
#define ZE_NO_SUCH_CHILD (-3)         /* no listed child process has the id */
#define ZE_NO_MORE_ROWS (-4)          /* no more rows */
#define ZE_WATCHER_ENDED (-4)         /* the death watcher has ended: no child can be started */
#define ZE_INVALID_LOGIN (-9)         /* user or password refused */
#define ZE_NETWORK_IO (-10)          /* no socket, or fewer bytes sent or received than needed */
#define ZE_NO_SPATIAL_TYPE (-10)      /* the spatial type library is not registered in the database */
#define ZE_OUT_OF_MEMORY (-12)        /* out of memory (most code) */
#define ZE_BITSET_NO_MEMORY (-13)     /* out of memory while resizing a bit set */
#define ZE_SCAN_NOT_STARTED (-14)     /* next of a scan that was not started */
#define ZE_BASE_TABLE_NOT_FOUND (-14) /* a view layer's base table has no layer row */
#define ZE_SECURITY_FAILED (-15)      /* a stop semaphore or its security could not be made */
#define ZE_LAYER_LIMIT (-16)          /* every layer id is taken */
#define ZE_NO_QUERY_LAYER (-17)       /* filters given, but none names a layer the query can use */
#define ZE_COLUMN_EXISTS (-19)        /* column already exists */
#define ZE_LAYER_EXISTS (-19)         /* a layer with that id or column exists already */
#define ZE_LAYER_NOT_FOUND (-20)      /* no layer matches */
#define ZE_LOG_REGISTRATION_MISMATCH (-24)/* the log belongs to another registration */
#define ZE_VIEW_LAYER_FLAGS (-24)     /* a view layer's flags are not those of its base layer */
#define ZE_LAYER_NOT_IN_QUERY (-24)   /* a layer outside the query's tables, or two layers */
#define ZE_OBJECT_NOT_FOUND (-22)     /* no row, index or view: the statement touched nothing */
#define ZE_NO_PERMISSIONS (-25)       /* no permission */
#define ZE_COLUMN_NOT_NULLABLE (-26)  /* a column that must allow NULL does not */
#define ZE_INVALID_ENTITY_TYPE (-27)  /* unknown entity type */
#define ZE_INVALID_LAYER_ID (-28)     /* layer id outside 1 to the maximum */
#define ZE_INVALID_NUM_POINTS (-29)   /* point count wrong for the entity type */
#define ZE_INVALID_RELATION (-30)     /* unknown search method or unusable relation pattern */
#define ZE_INVALID_GRID_SIZE (-33)    /* grid sizes do not fit the coordinate reference */
#define ZE_TABLE_NOT_FOUND (-37)      /* table not found */
#define ZE_COLUMN_NOT_FOUND (-38)     /* column not found */
#define ZE_SYNTAX_ERROR (-42)         /* SQL syntax error */
#define ZE_LOG_NOT_FOUND (-43)        /* no log file of that name or id */
#define ZE_LOG_NOT_INITIALISED (-44)  /* the log-file system is not initialised */
#define ZE_INVALID_LOG_DESCRIPTOR (-45)/* log descriptor number not open, or its statement not ready */
#define ZE_LOG_ALREADY_OPEN (-46)     /* the log is open for writing in this process already */
#define ZE_NO_SUCH_LOCK (-48)         /* the process holds no such lock */
#define ZE_LOCK_CONFLICT (-49)        /* lock held by another process (table or row locked) */
#define ZE_LOCK_TABLE_FULL (-50)      /* no free lock slot */
#define ZE_DBMS_ERROR (-51)           /* DBMS I/O error; extended error record filled */
#define ZE_INVALID_COLUMN_TYPE (-53)  /* engine column type out of range */
#define ZE_UNSUPPORTED_COLUMN_TYPE (-55)/* DBMS column type with no engine type */
#define ZE_INVALID_COLUMN_DEF (-56)   /* column name or size out of range */
#define ZE_SHAPE_BUFFER_TOO_SMALL (-57)/* the layer's shape buffer is below the stream's least size */
#define ZE_TEMP_FILE_OPEN_FAILED (-59) /* a temporary file cannot be created */
#define ZE_TABLE_EXISTS (-62)         /* table already exists */
#define ZE_INDEX_EXISTS (-63)         /* index already exists */
#define ZE_INDEX_NOT_FOUND (-64)      /* index not found */
#define ZE_NULL_POINTER (-65)         /* a required pointer is null */
#define ZE_INVALID_ARGUMENT (-66)     /* an argument is out of range */
#define ZE_INVALID_ANNO_OBJECT (-71)  /* null, freed or foreign annotation object */
#define ZE_LAYER_LOAD_ONLY (-77)      /* the layer is in load-only mode */
#define ZE_FILE_SHORT_WRITE (-79)     /* fewer bytes written to a file than were received for it */
#define ZE_INTERNAL_ERROR (-83)       /* geometry module unavailable or failed inside */
#define ZE_EMPTY_TABLE_NAME (-86)     /* table name empty or blank */
#define ZE_KEYWORD_WITHOUT_ROWS (-87) /* configuration keyword has no DBTUNE rows of its own */
#define ZE_INVALID_DBA_PASSWORD (-93) /* the administrator's login was refused */
#define ZE_NOT_TABLE_OWNER (-96)      /* the user does not own the table */
#define ZE_GRANT_REFUSED (-105)       /* the DBMS refused a grant or revoke for lack of permission */
#define ZE_HOME_NOT_DIRECTORY (-106)  /* no home directory, or it is not a directory */
#define ZE_INVALID_RELEASE (-88)      /* another release, or a request it does not know */
#define ZE_PROCESS_NOT_FOUND (-97)    /* no process slot has the id */
#define ZE_HOST_UNKNOWN (-100)        /* the host has no address entry */
#define ZE_CONNECTION_REFUSED (-101)  /* the connection was refused or reset */
#define ZE_SERVICE_NOT_FOUND (-102)   /* no TCP service entry for the instance name */
#define ZE_STATS_SPATIAL_COLUMN (-103)/* statistics of a spatial column, or of a type the aggregates refuse */
#define ZE_STATS_DISTINCT_TYPE (-104) /* distinct values of a column type that cannot be read */
#define ZE_UNKNOWN_COLUMN_TYPE (-107) /* no value buffer for the column type */
#define ZE_MUTEX_FAILED (-109)        /* a shared-memory mutex or guard cannot be made or opened */
#define ZE_NO_RESULT_COLUMNS (-112)   /* a prepared statement with no result column */
#define ZE_WRONG_COLUMN_TYPE (-114)   /* row-id or raster column of a wrong type */
#define ZE_INVALID_FILTER_TYPE (-119) /* spatial filter is not a shape filter */
#define ZE_VERSION_NOT_FOUND (-126)   /* no version has the name or id */
#define ZE_NO_MUST_PASS_FILTER (-127) /* no filter a feature must satisfy */
#define ZE_IOMGR_NOT_FOUND (-131)     /* the control-process program is missing or not a regular file */
#define ZE_MULTIPLE_SPATIAL_COLUMNS (-133)/* more than one spatial column */
#define ZE_NULL_SHAPE (-134)          /* a required shape is null */
#define ZE_INVALID_SHAPE (-135)       /* shape points missing or count negative */
#define ZE_COORDREF_MISMATCH (-138)   /* shapes with different coordinate references */
#define ZE_INVALID_COORDREF (-141)    /* coordinate reference missing or not active */
#define ZE_COORD_OUT_OF_RANGE (-142)  /* coordinate beyond the system-unit range */
#define ZE_ROWID_TABLE_UNRESOLVED (-144)/* the table of a VE_ROW_ID column is not one layer */
#define ZE_DATABASE_NOT_FOUND (-158)  /* no data source or no connection */
#define ZE_ANNO_NOT_SUPPORTED (-160)  /* annotation columns cannot be deleted */
#define ZE_SPATIAL_COLUMN_IS_TABLE_NAME (-161)/* the spatial column has its table's name */
#define ZE_NOT_ADMIN_DATABASE (-162)  /* database other than the administrative one */
#define ZE_RESERVED_COLUMN (-168)     /* a caller's column named VE_ROW_ID, which the engine writes */
#define ZE_INVALID_VERSION_NAME (-171)/* version name empty */
#define ZE_STATE_NOT_FOUND (-172)     /* no such state, or a state without lineage rows */
#define ZE_VERSION_EXISTS (-177)      /* the version name and its 256 suffixed forms are taken */
#define ZE_NOT_MULTIVERSION (-178)    /* the registration is not multiversioned */
#define ZE_INVALID_STATEID (-181)     /* state id negative */
#define ZE_NO_ROW_QUERY_COLUMN (-186) /* a registered table without a column to address rows by */
#define ZE_STATE_NOT_IN_LINEAGE (-190)/* the start state is not an ancestor of the state */
#define ZE_NO_ROWID_COLUMN (-186)     /* the registration has no row-id column */
#define ZE_INVALID_RASTER_COLUMN (-193)/* raster column named as its table, or holding values already */
#define ZE_RASTERBAND_EXISTS (-194)   /* a band with that id, or that sequence number in its raster, exists already */
#define ZE_RASTERCOLUMN_EXISTS (-194) /* a raster column with that id or column exists already */
#define ZE_UNIQUE_INDEX_NOT_ALLOWED (-195)/* a unique index that a copy may not carry over */
#define ZE_SERVICE_RUNNING (-209)    /* the service is running already */
#define ZE_INVALID_REGISTRATION_ID (-219)/* registration id outside 1 to the cache's size */
#define ZE_TABLE_NOT_REGISTERED (-220)/* the table has no registration */
#define ZE_REGISTRATION_LIMIT (-221)  /* every registration id is taken */
#define ZE_ROW_LOCKING_OFF (-224)     /* row-lock modes on a stream without row locking */
#define ZE_RASTERCOLUMN_NOT_FOUND (-226)/* no raster column has the id */
#define ZE_INVALID_RASTERCOLUMN_ID (-227)/* raster column id below 1 */
#define ZE_RASTERCOLUMN_LIMIT (-228)  /* every raster column id is taken */
#define ZE_RASTERBAND_OBJECT_EXISTS (-232)/* the band has an object of that type already */
#define ZE_RASTERBAND_NOT_FOUND (-233)/* no band has the id */
#define ZE_RASTER_EXISTS (-234)       /* a raster with that id exists already */
#define ZE_RASTER_NOT_FOUND (-235)    /* no raster has the id */
#define ZE_VIEW_EXISTS (-238)         /* a view of that name exists already */
#define ZE_INVALID_RASTERBAND (-243)  /* band flags disagree with the band's objects */
#define ZE_INVALID_TILE_NUMBER (-246) /* a raster tile numbered below 1 */
#define ZE_MULTIPLE_RASTER_COLUMNS (-247)/* more than one raster column */
#define ZE_INVALID_LOGINFO_OBJECT (-249) /* null, freed or foreign log-file info record */
#define ZE_SQL_BUFFER_FULL (-250)     /* SQL text does not fit the caller's buffer */
#define ZE_LOG_EXISTS (-252)          /* the log exists, or belongs to another table */
#define ZE_LOG_IS_OPEN (-253)         /* the log is open in this process */
#define ZE_SPATIALREF_EXISTS (-254)   /* an equal spatial reference exists already */
#define ZE_SPATIALREF_NOT_FOUND (-255)/* no spatial reference has the srid */
#define ZE_SPATIALREF_IN_USE (-256)   /* a layer uses the spatial reference */
#define ZE_RASTERBAND_UPDATE_EXISTS (-258)/* an updated band takes another band's id or sequence number */
#define ZE_INVALID_QUERYINFO_OBJECT (-259)/* a null query description */
#define ZE_INVALID_OWNER (-273)       /* owner empty */
#define ZE_INVALID_NAME (-274)        /* object name empty */
#define ZE_LOCATOR_NOT_FOUND (-275)   /* no locator of that name and owner, or of that id */
#define ZE_LOCATOR_EXISTS (-276)      /* a locator of that name and owner exists already */
#define ZE_INVALID_LOCATOR_TYPE (-277)/* locator kind not 0, 1 or 2 */
#define ZE_DBTUNE_FILE_ERROR (-287)   /* no ZELHOME, or the dbtune file cannot be opened */
#define ZE_LOG_TABLES_FAILED (-288)   /* the log-file system tables could not be created */
#define ZE_ADD_COLUMN_EXISTS (-291)   /* the column to add exists already */
#define ZE_RASTER_BUFFER_TOO_SMALL (-294)/* the stream's buffer limit is smaller than one tile row */
#define ZE_MULTIVERSION_LOAD_ONLY (-299)/* a layer in load-only mode cannot be made multiversioned */
#define ZE_ORDERED_UPDATE_OUT_OF_STEP (-301)/* an ordered update met a row id other than the one expected */
#define ZE_CONFIG_KEYWORD_NOT_FOUND (-313)/* configuration keyword not in the DBTUNE store */
#define ZE_DBS_TABLES_EXIST (-314)    /* the DBMS keeps tables that rule shared memory out */
#define ZE_INVALID_RASTER_MASK (-304) /* tile mask whose grid cannot be sized, or a stored mask of another grid */
#define ZE_INVALID_BAND_OBJECT (-311) /* stored statistics or colour map that cannot be rebuilt or whose length word is wrong */
#define ZE_INVALID_COMPRESSION (-316) /* tile compression other than none or deflate */
#define ZE_INVALID_INDEX_PARAM (-317) /* spatial-index parameters out of range */
#define ZE_INVALID_INDEX_TYPE (-318)  /* spatial-index kind not -4 to 1 */
#define ZE_INVALID_IDENTIFIER (-322)  /* not an identifier */
#define ZE_WRONG_DATABASE (-325)      /* the object belongs to another database */
#define ZE_BUFFER_NO_MEMORY (-999)    /* out of memory (buffer, feature, channel code) */
#define ZE_INSTANCE_RUNNING (-999)    /* the instance's shared memory exists already */
#define ZE_NO_ROWS_DELETED (-1002)    /* a delete matched no row */
#define ZE_STATS_TOO_MANY_VALUES (-1003)/* more distinct values than the caller allows */
#define ZE_NULL_VALUE (-1004)         /* the value asked for is null */
#define ZE_NO_ROWS_MATCHED (-1005)    /* an update's condition selected no row */
#define ZE_CODEPAGE_MAP_FAILED (-1006)/* a code-page map could not be built; no conversion */
#define ZE_CODEPAGE_NO_TABLE (-1007)  /* no ZELHOME or no codepage.txt; no conversion */
#define ZE_NOT_SUPPORTED (-1008)      /* not supported by this DBMS */
#define ZE_MESSAGE_FILE_ERROR (-1011) /* message catalogue missing or unreadable */
#define ZE_BUFFER_FULL (-3001)        /* the buffer is full: send it and put again */
#define ZE_BUFFER_DRAINED (-3002)     /* no more rows here and not the last buffer: receive the next */
#define ZE_ROW_OUT_OF_BAND (-3003)    /* the row is larger than an empty buffer: it travels out of band */
#define ZE_BLOB_PIECES_FOLLOW (-3004) /* the row is in: its blob pieces must follow */
#define ZE_BLOB_NO_PIECE (-3005)      /* the blob has no piece here, or it continues in the next buffer */
#define ZE_WRONG_DIRECTION (-3006)    /* the operation belongs to the buffer's other direction */

#define ZE_SP_OFFSET (-20000)         /* offset of codes raised by stored routines */
// clang-format on

#endif
