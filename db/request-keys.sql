/*
  Adds the table of request keys to an installation's existing goods
  database, so that a handheld's resent request is never carried out twice
  (see docs/operations.md, "Request keys"). db/schema.sql holds the same
  table for databases made afresh.

  Run it once, with the servers of the database running or not:
      isql-fb -user SYSDBA -password PASSWORD -i db/request-keys.sql fbhost:/db/preces.gdb
  A second run stops at "Table KELVO_REQUESTS already exists" and changes
  nothing. kelvo-server says at its next start whether the table is there
  (event request_keys.checked, retries_safe=true).
*/

CREATE TABLE KELVO_REQUESTS (
  REQUEST_KEY  VARCHAR(64) NOT NULL,
  PROVIDER     VARCHAR(63) NOT NULL,
  PARAMS_HASH  CHAR(64) NOT NULL,
  ANSWER       VARCHAR(1000),
  CREATED      TIMESTAMP DEFAULT CURRENT_TIMESTAMP NOT NULL,
  CONSTRAINT PK_KELVO_REQUESTS PRIMARY KEY (REQUEST_KEY)
);

COMMIT;
