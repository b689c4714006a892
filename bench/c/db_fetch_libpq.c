/* The yardstick for reading a large result: plain PQexec and PQgetvalue over every value,
 * nothing else. Connection values come from the PG* environment variables.
 * Usage: benchc_db_fetch_libpq "SELECT ..." */
#include <libpq-fe.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s SQL\n", argv[0]);
        return 2;
    }
    PGconn *conn = PQconnectdb("");
    if (PQstatus(conn) != CONNECTION_OK) {
        fprintf(stderr, "%s", PQerrorMessage(conn));
        return 1;
    }
    PGresult *res = PQexec(conn, argv[1]);
    if (PQresultStatus(res) != PGRES_TUPLES_OK) {
        fprintf(stderr, "%s", PQresultErrorMessage(res));
        return 1;
    }
    const int rows = PQntuples(res), cols = PQnfields(res);
    unsigned long long bytes = 0, nulls = 0;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            if (PQgetisnull(res, r, c))
                ++nulls;
            const char *v = PQgetvalue(res, r, c);
            bytes += (unsigned long long)PQgetlength(res, r, c) + (unsigned char)v[0];
        }
    printf("rows=%d bytes=%llu nulls=%llu\n", rows, bytes, nulls);
    PQclear(res);
    PQfinish(conn);
    return 0;
}
