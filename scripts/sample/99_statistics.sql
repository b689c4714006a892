-- Fresh statistics and visibility maps, so that row estimates and plans look like a live database.
VACUUM (ANALYZE);
