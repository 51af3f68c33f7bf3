// Second process of test_dbx_shared: dbx_share_helper TABLE TAG
#include "dbx_share_worker.h"

int main(int argc, char **argv)
{
    return argc == 3 ? dbxshare::work(argv[1], argv[2][0]) : 2;
}
