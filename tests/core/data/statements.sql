-- Statements of every kind PostgreSQL 15 accepts, for the formatter and the comment
-- stripper. Each case starts with a line "--@ name"; "--@ name norun" marks a case that is
-- only compared token by token (it cannot run inside a transaction on the test schema).
-- The runnable cases work on the tables of the round-trip fixture: dept, emp and sales.
--@ within group ordered-set aggregates
SELECT percentile_cont(0.5) WITHIN GROUP (ORDER BY salary),
       percentile_disc(ARRAY[0.25, 0.75]) WITHIN GROUP (ORDER BY salary DESC),
       mode() WITHIN GROUP (ORDER BY dept_id)
FROM emp
--@ within group hypothetical-set aggregates
select rank(200) within group (order by salary desc), dense_rank(100) within group (order by salary),
  percent_rank(300, 'm') WITHIN GROUP (ORDER BY salary, name), cume_dist(1) within group(order by id)
from emp where id > 0
--@ within group in having
SELECT dept_id FROM emp GROUP BY dept_id HAVING percentile_cont(0.5) WITHIN GROUP (ORDER BY salary) > 0 ORDER BY 1
--@ window frame exclude group
SELECT id, sum(salary) OVER (PARTITION BY dept_id ORDER BY id ROWS BETWEEN UNBOUNDED PRECEDING AND CURRENT ROW EXCLUDE GROUP) AS s
FROM emp ORDER BY id
--@ window frames of every kind
SELECT id,
       sum(salary) OVER (ORDER BY salary GROUPS BETWEEN 1 PRECEDING AND 1 FOLLOWING EXCLUDE TIES),
       sum(salary) OVER (ORDER BY salary RANGE BETWEEN 100 PRECEDING AND 100 FOLLOWING EXCLUDE CURRENT ROW),
       count(*) OVER (ORDER BY id ROWS 2 PRECEDING EXCLUDE NO OTHERS),
       max(id) OVER (ORDER BY id RANGE UNBOUNDED PRECEDING),
       avg(salary) OVER (ORDER BY hired RANGE BETWEEN INTERVAL '1 year' PRECEDING AND CURRENT ROW)
FROM emp ORDER BY id
--@ partition by in several over clauses
SELECT row_number() OVER (PARTITION BY dept_id ORDER BY id) AS rn,
       count(*) OVER (PARTITION BY dept_id),
       first_value(name) OVER (PARTITION BY dept_id, hired ORDER BY id),
       lag(salary, 1, 0) OVER (PARTITION BY coalesce(dept_id, 0) ORDER BY id)
FROM emp ORDER BY id
--@ named windows
select id, rank() over w, lag(name) over (w rows 1 preceding), sum(salary) over (w)
from emp window w as (partition by dept_id order by salary), v as (w)
order by id
--@ aggregate filter and order
SELECT count(*) FILTER (WHERE salary > 100), array_agg(DISTINCT name ORDER BY name),
       string_agg(name, ',' ORDER BY name DESC), sum(salary) FILTER (WHERE dept_id = 1) OVER ()
FROM emp GROUP BY id ORDER BY id
--@ data-modifying cte update
WITH t AS (UPDATE emp SET salary = salary + 1 WHERE id < 3 RETURNING *) SELECT count(*), sum(salary) FROM t
--@ data-modifying cte delete and insert
WITH d AS (DELETE FROM emp WHERE id = 3 RETURNING id),
     i AS (INSERT INTO dept (id, name) VALUES (9, 'nine') RETURNING id)
SELECT (SELECT count(*) FROM d) AS deleted, (SELECT count(*) FROM i) AS inserted
--@ data-modifying cte feeding an insert
WITH moved AS (
    DELETE FROM sales
    WHERE qty < 3
    RETURNING *
)
INSERT INTO sales_archive
SELECT * FROM moved
--@ merge
MERGE INTO dept d
USING (VALUES (1, 'S'), (7, 'new')) v(id, name)
ON d.id = v.id
WHEN MATCHED AND d.id > 0 THEN UPDATE SET name = v.name
WHEN NOT MATCHED THEN INSERT (id, name) VALUES (v.id, v.name)
--@ merge into after with
WITH src AS (SELECT id + 100 AS id, name FROM dept) MERGE INTO dept d USING src ON d.id = src.id
WHEN MATCHED THEN DELETE WHEN NOT MATCHED AND src.id < 200 THEN INSERT VALUES (src.id, src.name)
WHEN NOT MATCHED THEN DO NOTHING
--@ merge lower case
with s as (select 1 as id, 'x' as name) merge into dept using s on dept.id = s.id
when matched then update set name = s.name when not matched then insert default values
--@ recursive cte with search and cycle
WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r WHERE n < 5)
  SEARCH DEPTH FIRST BY n SET ord
  CYCLE n SET is_cycle USING path
SELECT n, ord FROM r ORDER BY ord
--@ materialized ctes
WITH m AS MATERIALIZED (SELECT 1 AS x), n AS NOT MATERIALIZED (SELECT 2 AS y) SELECT * FROM m, n
--@ insert on conflict update
INSERT INTO dept AS d VALUES (1, 'x') ON CONFLICT (id) DO UPDATE SET name = EXCLUDED.name || '!' WHERE d.id < 10 RETURNING *
--@ insert on conflict nothing
insert into dept values (2, 'y'), (12, 'z') on conflict do nothing returning id
--@ insert on conflict on constraint
INSERT INTO dept VALUES (3, 'w') ON CONFLICT ON CONSTRAINT dept_pkey DO UPDATE SET (name) = ROW(excluded.name)
--@ insert select and default values
CREATE TABLE t_def (id serial PRIMARY KEY, note text DEFAULT 'n', made int DEFAULT 1);
INSERT INTO t_def DEFAULT VALUES;
INSERT INTO t_def (note) SELECT name FROM dept ORDER BY id;
INSERT INTO t_def (note, made) OVERRIDING USER VALUE VALUES ('o', DEFAULT);
SELECT * FROM t_def ORDER BY id
--@ update forms
UPDATE emp SET (name, salary) = (SELECT 'n', 1) WHERE id = 1;
UPDATE emp e SET salary = d.id * 10, tags = DEFAULT FROM dept d WHERE d.id = e.dept_id AND e.id = 2 RETURNING e.id, e.salary;
UPDATE emp SET data = jsonb_set(data, '{k}', '"z"') WHERE data ? 'k' RETURNING id, data
--@ delete using returning
DELETE FROM emp AS e USING dept d WHERE e.dept_id = d.id AND d.name = 'Sales' RETURNING e.id, d.name
--@ string continuation
SELECT 'a'
'b' AS joined, 'c'
   'd' AS also, E'x\n'
'y' AS escaped
--@ string continuation in a condition
SELECT id FROM emp WHERE name = 'a'
  'nn' OR name = 'b'
'ob' ORDER BY 1
--@ string continuation after a comment line
SELECT 'one' -- comment between
'two' AS joined
--@ string prefixes
SELECT U&'d\0061t\+000061', U&'d!0061t' UESCAPE '!', B'1010', X'ff', N'national', e'\x41\101\u0041',
       E'it\'s', 'it''s', b'1'::int, x'1F'::int
--@ dollar quotes
SELECT $$dollar ; -- not a comment$$, $a$ with $$ inside $a$, $$a$$||$b$c$b$, $_x1$/* no */$_x1$
--@ operators glued and apart
SELECT 1+-2, 3*-1, 2^ -1, 2 ^ -1, -2^2, @ -5, 10%3, |/ 25, ||/ 27, ~5, 5#3, 1<<4, 8>>1, 5&3, 5|3, 1<>2, 1!=2, 2>=1, 1<=-1
--@ text and array operators
SELECT 'a' ~~ 'a%', 'a' !~~ 'b', 'abc' ~* 'B', 'x' !~* 'y', ARRAY[1,2] && ARRAY[2], ARRAY[1] <@ ARRAY[1,2],
       '{"a":1}'::jsonb ? 'a', '{"a":1}'::jsonb->'a', '{"a":{"b":2}}'::jsonb#>'{a,b}', '{"a":1}'::jsonb->>'a',
       '{"a":1}'::jsonb @> '{"a":1}', 'a'||'b', 'abc' LIKE 'a\%' ESCAPE '\', 'abc' SIMILAR TO '%(b|d)%'
--@ casts and types
SELECT '1'::int, CAST('2' AS bigint), int '3', interval '1' day, interval '1-2' year to month,
       TIMESTAMP WITH TIME ZONE '2020-01-01 00:00+00' AT TIME ZONE 'UTC', 1::numeric(10,2),
       '{1,2}'::int[], (ARRAY[1,2])[1], (ARRAY[[1,2],[3,4]])[1:2][2], 'x'::varchar(3),
       double precision '1.5', character varying(4) 'abcd', time without time zone '10:00', bit varying(3) '101'
--@ numbers
SELECT 1.5e-3, .5, 5., 1e10, 0.1E+2, 1::float8 / 4, 12345678901234567890, -0.0, 1.5e-3*2
--@ special functions
SELECT EXTRACT(YEAR FROM hired), SUBSTRING('abcdef' FROM 2 FOR 3), POSITION('b' IN 'abc'), TRIM(BOTH 'x' FROM 'xax'),
       TRIM(LEADING FROM '  a'), OVERLAY('abc' PLACING 'z' FROM 2), normalize('a', NFC), 'a' IS NFC NORMALIZED,
       COALESCE(NULL, 1), NULLIF(1, 1), GREATEST(1, 2), LEAST(1, 2), CURRENT_DATE - CURRENT_DATE, SESSION_USER = SESSION_USER
FROM emp WHERE id = 1
--@ predicates
SELECT id FROM emp
WHERE salary BETWEEN SYMMETRIC 500 AND 100
   OR name IS DISTINCT FROM 'ann' AND name IS NOT NULL
   OR (dept_id IS NULL) IS NOT TRUE AND 'a' ILIKE 'A' AND NOT name NOT LIKE 'z%'
   AND (DATE '2020-01-01', DATE '2020-02-01') OVERLAPS (DATE '2020-01-15', DATE '2020-03-01')
ORDER BY 1
--@ case expressions
SELECT CASE WHEN salary > 300 THEN 'high' WHEN salary > 100 THEN 'mid' ELSE 'low' END AS band,
       CASE dept_id WHEN 1 THEN 'one' ELSE 'other' END
FROM emp ORDER BY id
--@ subqueries
SELECT name FROM emp e
WHERE EXISTS (SELECT 1 FROM dept d WHERE d.id = e.dept_id)
  AND salary > ALL (SELECT salary / 10 FROM emp)
  AND dept_id = ANY (SELECT id FROM dept)
  AND (id, name) IN (VALUES (1, 'ann'), (2, 'bob'))
  AND NOT id IN (SELECT 99)
ORDER BY name
--@ lateral, ordinality and rows from
SELECT d.name, x.n, g.x, g.ord, r.a, r.b
FROM dept d
CROSS JOIN LATERAL (SELECT count(*) AS n FROM emp WHERE emp.dept_id = d.id) x
LEFT JOIN LATERAL generate_series(1, 2) WITH ORDINALITY AS g(x, ord) ON true
JOIN ROWS FROM (generate_series(1, 2), unnest(ARRAY['a', 'b'])) AS r(a, b) ON r.a = g.x
ORDER BY 1, 3
--@ joins of every kind
SELECT * FROM emp e JOIN dept d USING (id) NATURAL JOIN (SELECT 1 AS id) z
FULL OUTER JOIN dept d2 ON d2.id = e.id RIGHT OUTER JOIN dept d3 ON TRUE CROSS JOIN (VALUES (1)) v(c)
LEFT JOIN dept AS d4 ON d4.id = d3.id AND d4.name <> ''
ORDER BY d3.id, d2.id
--@ join using alias
SELECT j.id FROM emp JOIN dept USING (id) AS j ORDER BY 1
--@ grouping sets rollup cube
SELECT dept_id, grouping(dept_id), count(*) FROM emp GROUP BY GROUPING SETS ((dept_id), ()) ORDER BY 1 NULLS FIRST, 2;
SELECT dept_id, hired, sum(salary) FROM emp GROUP BY ROLLUP (dept_id, hired) ORDER BY 1, 2;
SELECT dept_id, count(*) FROM emp GROUP BY DISTINCT CUBE (dept_id), dept_id ORDER BY 1
--@ distinct on limit fetch
SELECT DISTINCT ON (dept_id) dept_id, name FROM emp ORDER BY dept_id, name LIMIT 2 OFFSET 0;
SELECT id FROM emp ORDER BY dept_id FETCH FIRST 2 ROWS WITH TIES;
SELECT id FROM emp ORDER BY id OFFSET 1 ROW FETCH NEXT 1 ROW ONLY
--@ locking clauses
SELECT id FROM emp e ORDER BY id FOR NO KEY UPDATE OF e SKIP LOCKED;
SELECT id FROM emp ORDER BY id FOR SHARE NOWAIT;
SELECT id FROM emp ORDER BY id FOR KEY SHARE
--@ set operations
(SELECT id FROM emp UNION SELECT id FROM dept) INTERSECT ALL SELECT generate_series(1, 3)
EXCEPT SELECT 2 ORDER BY 1
--@ values and table
VALUES (1, 'a'), (2, 'b') ORDER BY 1 DESC;
TABLE dept
--@ order by using and collate
SELECT name FROM emp ORDER BY salary USING >, name COLLATE "C" DESC NULLS LAST
--@ operator syntax and qualified names
SELECT pg_catalog.upper('a') OPERATOR(pg_catalog.||) 'b', 3 OPERATOR(pg_catalog.+) 4, emp.name, emp.id IS NULL
FROM emp WHERE false
--@ row and composite values
SELECT ROW(1, 2) < ROW(1, 3), (ROW(1, 'a')::record) IS NOT NULL, (d).name
FROM (SELECT d FROM dept d WHERE id = 1) s
--@ arrays and subscripts
SELECT ARRAY(SELECT id FROM emp ORDER BY id), tags[1], tags[1:2], tags[:1], array_length(tags, 1), '{{1,2},{3,4}}'::int[][]
FROM emp ORDER BY id
--@ json path and builders
SELECT jsonb_path_query_array(data, '$.** ? (@ == "v")'), jsonb_build_object('a', 1, 'b', ARRAY[1]),
       data #- '{k}', to_jsonb(d.*) FROM emp, dept d WHERE emp.id = 1 AND d.id = 1
--@ comments between tokens
SELECT 1/*c*/AS a, 2--c
AS b, 3 /* /* nested */ still */ AS c -- trailing ' quote
--@ comment holding quotes and keywords
SELECT id -- don't FROM x
FROM emp /* it's ) ; 'x */ WHERE id = 1 -- "unclosed
--@ final line comment
SELECT 1 -- no line end after this
--@ quoted names
SELECT 1 AS "from", 2 AS "order by", 3 AS "a""b", 4 AS U&"\0441", 5 AS "Mixed Case", 6 AS 名前
--@ japanese text
SELECT 'データ' AS 列, '全角　空白' AS "空 白" FROM emp WHERE name <> 'ユーザー' AND id = 1
--@ tabs and line ends
select	id	,	name	from	emp	where	id	=	1	order	by	1
--@ lower case multi-word keywords
insert into dept (id, name) values (70, 'x');
select id from dept group by id order by id;
update dept set name = 'y' where id = 70;
delete from dept where id = 70
--@ mixed case keywords
Insert Into dept (id, name) Values (71, 'm');
Select id From dept Where id = 71 Group By id Order By id
--@ explain
EXPLAIN (COSTS OFF, VERBOSE false) SELECT * FROM emp WHERE id = 1
--@ transaction statements inside a transaction
SAVEPOINT s1;
INSERT INTO dept VALUES (80, 's');
ROLLBACK TO SAVEPOINT s1;
RELEASE SAVEPOINT s1;
SET LOCAL work_mem = '8MB';
SHOW work_mem
--@ prepare and execute
PREPARE q_corpus(int, text) AS SELECT $1 + 1, $2 || '!';
EXECUTE q_corpus(1, 'a');
DEALLOCATE q_corpus
--@ notify
NOTIFY corpus_channel, 'payload; -- not a comment';
SELECT pg_notification_queue_usage() >= 0
--@ create table with constraints
CREATE TABLE t_c (
    id integer GENERATED BY DEFAULT AS IDENTITY (START WITH 10 INCREMENT BY 2) PRIMARY KEY,
    ref integer REFERENCES dept (id) ON DELETE SET NULL ON UPDATE CASCADE DEFERRABLE INITIALLY DEFERRED,
    a int NOT NULL DEFAULT 0 CHECK (a >= 0),
    b int GENERATED ALWAYS AS (a * 2) STORED,
    note text COLLATE "C" DEFAULT 'a;b',
    CONSTRAINT t_c_u UNIQUE NULLS NOT DISTINCT (note),
    EXCLUDE USING btree (a WITH =) WHERE (a > 100)
);
INSERT INTO t_c (ref, a) VALUES (1, 5) RETURNING *
--@ partitioned tables
CREATE TABLE p (id int, d date) PARTITION BY RANGE (d);
CREATE TABLE p1 PARTITION OF p FOR VALUES FROM ('2020-01-01') TO ('2021-01-01');
CREATE TABLE p_def PARTITION OF p DEFAULT;
CREATE TABLE pl (k text) PARTITION BY LIST (k);
CREATE TABLE pl_a PARTITION OF pl FOR VALUES IN ('a', 'b');
CREATE TABLE ph (k int) PARTITION BY HASH (k);
CREATE TABLE ph0 PARTITION OF ph FOR VALUES WITH (MODULUS 2, REMAINDER 0);
CREATE TABLE ph1 PARTITION OF ph FOR VALUES WITH (MODULUS 2, REMAINDER 1);
INSERT INTO p VALUES (1, '2020-05-05'), (2, '2030-01-01');
SELECT tableoid::regclass::text, * FROM p ORDER BY id
--@ alter table
ALTER TABLE emp ADD COLUMN extra text DEFAULT E'x\ny', ALTER COLUMN salary TYPE numeric(12,2) USING salary::numeric(12,2);
ALTER TABLE emp RENAME COLUMN extra TO extra2;
ALTER TABLE emp ALTER COLUMN extra2 SET NOT NULL, ALTER COLUMN extra2 DROP DEFAULT;
ALTER TABLE IF EXISTS emp ADD CONSTRAINT emp_salary_ck CHECK (salary >= 0) NOT VALID;
ALTER TABLE emp VALIDATE CONSTRAINT emp_salary_ck;
ALTER TABLE emp DROP COLUMN IF EXISTS extra2 CASCADE
--@ indexes
CREATE INDEX ix_c1 ON emp (lower(name) DESC NULLS LAST) INCLUDE (salary) WHERE salary > 0;
CREATE UNIQUE INDEX ix_c2 ON dept USING btree (name COLLATE "C" text_pattern_ops) NULLS NOT DISTINCT;
CREATE INDEX ix_c3 ON emp USING gin (tags) WITH (fastupdate = off);
ALTER INDEX ix_c1 RENAME TO ix_c1b;
DROP INDEX ix_c3
--@ create index concurrently norun
CREATE INDEX CONCURRENTLY IF NOT EXISTS ix_cc ON emp (hired)
--@ views
CREATE VIEW v_c WITH (security_barrier) AS SELECT e.id, e.name FROM emp e WHERE e.salary > 1 WITH LOCAL CHECK OPTION;
CREATE VIEW v_j AS SELECT e.id, d.name FROM emp e LEFT JOIN dept d ON d.id = e.dept_id;
CREATE OR REPLACE RECURSIVE VIEW v_r (n) AS SELECT 1 UNION ALL SELECT n + 1 FROM v_r WHERE n < 3;
CREATE MATERIALIZED VIEW mv_c AS SELECT dept_id, count(*) FROM emp GROUP BY dept_id WITH NO DATA;
REFRESH MATERIALIZED VIEW mv_c;
SELECT * FROM mv_c ORDER BY 1
--@ sequences
CREATE SEQUENCE s_c AS bigint START WITH 5 INCREMENT BY 5 MINVALUE 5 MAXVALUE 100 CYCLE CACHE 1 OWNED BY emp.id;
ALTER SEQUENCE s_c RESTART WITH 10;
SELECT nextval('s_c'), currval('s_c')
--@ types and domains
CREATE TYPE mood_c AS ENUM ('sad', 'it''s ok');
CREATE TYPE pair_c AS (a int, b text);
CREATE TYPE range_c AS RANGE (subtype = float8);
CREATE DOMAIN pos_c AS integer DEFAULT 1 CONSTRAINT pos_ck CHECK (VALUE > 0) NOT NULL;
ALTER TYPE mood_c ADD VALUE 'happy' BEFORE 'sad';
SELECT ROW(1, 'x')::pair_c, 3::pos_c, range_c(1, 2), 'sad'::mood_c
--@ plpgsql function
CREATE FUNCTION f_c(n integer, OUT total integer, INOUT label text DEFAULT 'x')
RETURNS record AS $body$
DECLARE
    i integer := 0;
    r record;
    c CURSOR FOR SELECT id FROM emp ORDER BY id;
BEGIN
    total := 0;
    <<outer>>
    FOR i IN 1..n LOOP
        CONTINUE outer WHEN i = 2;
        total := total + i; -- it's a sum
    END LOOP;
    WHILE total > 100 LOOP
        total := total / 2;
    END LOOP;
    FOR r IN SELECT id FROM emp ORDER BY id LOOP
        IF r.id > 2 THEN EXIT; ELSIF r.id = 1 THEN total := total + 1; ELSE NULL; END IF;
    END LOOP;
    CASE WHEN total > 10 THEN label := label || '>10'; ELSE label := label || '<=10'; END CASE;
    BEGIN
        PERFORM 1 / 0;
    EXCEPTION
        WHEN division_by_zero THEN label := label || ' /0';
        WHEN OTHERS THEN RAISE;
    END;
    EXECUTE $q$SELECT 'a;b' -- $$ inside
        || $1$q$ INTO label USING label;
    RAISE NOTICE 'done % %', total, E'\'$$\'';
    RETURN;
END;
$body$ LANGUAGE plpgsql STABLE;
SELECT * FROM f_c(5)
--@ sql function language first
CREATE FUNCTION f_s(a int) RETURNS TABLE (x int, y text) LANGUAGE sql IMMUTABLE AS $$
    SELECT a, 'v' -- one row
    UNION ALL
    SELECT a + 1, $x$w$x$
$$;
SELECT * FROM f_s(1)
--@ sql standard body
CREATE FUNCTION f_atomic(a int) RETURNS int LANGUAGE sql BEGIN ATOMIC SELECT a + 1; END;
CREATE PROCEDURE p_atomic(a int) LANGUAGE sql BEGIN ATOMIC INSERT INTO dept VALUES (a, 'p'); END;
CALL p_atomic(81);
SELECT f_atomic(1), (SELECT name FROM dept WHERE id = 81)
--@ single quoted body
CREATE FUNCTION f_q() RETURNS text LANGUAGE plpgsql AS 'BEGIN RETURN ''x''; END';
SELECT f_q()
--@ procedure and call
CREATE PROCEDURE p_c(INOUT a int, b int DEFAULT 2) AS $$ BEGIN a := a * b; END $$ LANGUAGE plpgsql;
CALL p_c(3)
--@ do block
DO $$
DECLARE n int;
BEGIN
  SELECT count(*) INTO n FROM emp;
  IF n > 0 THEN INSERT INTO dept VALUES (90, 'do ' || n); END IF;
END $$;
DO LANGUAGE plpgsql $d$ BEGIN UPDATE dept SET name = name || '.' WHERE id = 90; END $d$;
SELECT name FROM dept WHERE id = 90
--@ trigger and rule
CREATE FUNCTION trg_c() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  IF TG_OP = 'INSERT' THEN NEW.name := upper(NEW.name); END IF;
  RETURN NEW;
END $$;
CREATE TRIGGER trg_c BEFORE INSERT OR UPDATE OF name ON dept FOR EACH ROW WHEN (NEW.id > 0) EXECUTE FUNCTION trg_c();
CREATE RULE r_c AS ON DELETE TO sales DO INSTEAD NOTHING;
INSERT INTO dept VALUES (91, 'low');
DELETE FROM sales;
SELECT name, (SELECT count(*) FROM sales) FROM dept WHERE id = 91
--@ policies and security
ALTER TABLE dept ENABLE ROW LEVEL SECURITY;
CREATE POLICY pol_c ON dept AS PERMISSIVE FOR SELECT TO PUBLIC USING (id > 0) ;
ALTER POLICY pol_c ON dept RENAME TO pol_c2;
DROP POLICY pol_c2 ON dept
--@ grant and revoke
GRANT SELECT, UPDATE (name) ON emp TO PUBLIC;
GRANT ALL PRIVILEGES ON TABLE dept TO PUBLIC;
REVOKE GRANT OPTION FOR ALL ON dept FROM PUBLIC CASCADE;
REVOKE ALL ON emp FROM PUBLIC;
GRANT EXECUTE ON FUNCTION f_add(integer, integer) TO PUBLIC;
SELECT has_table_privilege('public', 'dept', 'SELECT')
--@ default privileges and roles norun
ALTER DEFAULT PRIVILEGES IN SCHEMA public GRANT SELECT ON TABLES TO PUBLIC;
CREATE ROLE r_corpus WITH LOGIN PASSWORD 'pa''ss' VALID UNTIL 'infinity' CONNECTION LIMIT 3;
GRANT r_corpus TO CURRENT_USER WITH ADMIN OPTION;
ALTER ROLE r_corpus SET search_path TO public, "$user"
--@ comments on objects
COMMENT ON TABLE emp IS 'Employees -- all; /* really */';
COMMENT ON COLUMN emp.name IS E'the\tname';
COMMENT ON FUNCTION f_add(integer, integer) IS $$adds$$;
SELECT obj_description('emp'::regclass, 'pg_class')
--@ operators and aggregates
CREATE FUNCTION eq_c(int, int) RETURNS bool LANGUAGE sql IMMUTABLE AS 'SELECT $1 = $2';
CREATE OPERATOR === (LEFTARG = int, RIGHTARG = int, FUNCTION = eq_c, COMMUTATOR = ===);
CREATE AGGREGATE sum_c (int) (SFUNC = int4pl, STYPE = int, INITCOND = '0');
SELECT 1 === 1, sum_c(id) FROM emp
--@ truncate lock and drop
LOCK TABLE sales IN SHARE ROW EXCLUSIVE MODE NOWAIT;
TRUNCATE sales RESTART IDENTITY CASCADE;
DROP TABLE IF EXISTS nothing_here, sales_archive CASCADE;
SELECT count(*) FROM sales
--@ copy norun
COPY emp (id, name) TO STDOUT WITH (FORMAT csv, HEADER true, DELIMITER ';', QUOTE '"', NULL '\N');
COPY dept FROM STDIN WITH (FORMAT text);
COPY (SELECT * FROM emp WHERE name <> 'x') TO '/tmp/out.csv' (FORMAT csv, FORCE_QUOTE *)
--@ maintenance norun
VACUUM (VERBOSE, ANALYZE) emp;
ANALYZE dept (name);
CLUSTER emp USING emp_pkey;
REINDEX TABLE CONCURRENTLY emp;
CREATE DATABASE d_corpus WITH TEMPLATE template0 ENCODING 'UTF8' LC_COLLATE 'C' LC_CTYPE 'C';
ALTER SYSTEM SET work_mem = '4MB'
--@ extensions and foreign data norun
CREATE EXTENSION IF NOT EXISTS postgres_fdw SCHEMA public VERSION '1.1';
CREATE SERVER srv FOREIGN DATA WRAPPER postgres_fdw OPTIONS (host 'localhost', dbname 'x');
CREATE USER MAPPING FOR CURRENT_USER SERVER srv OPTIONS (user 'u', password 'p');
IMPORT FOREIGN SCHEMA public LIMIT TO (t1) FROM SERVER srv INTO public;
CREATE FOREIGN TABLE ft (a int OPTIONS (column_name 'b')) SERVER srv
--@ publication and statistics norun
CREATE PUBLICATION pub FOR TABLE emp (id, name) WHERE (id > 0), TABLES IN SCHEMA s2 WITH (publish = 'insert');
CREATE STATISTICS st_c (dependencies, ndistinct) ON dept_id, hired FROM emp;
CREATE EVENT TRIGGER et ON ddl_command_start WHEN TAG IN ('CREATE TABLE') EXECUTE FUNCTION f();
SECURITY LABEL FOR selinux ON TABLE emp IS 'x'
--@ cursors
DECLARE cur_c SCROLL CURSOR WITH HOLD FOR SELECT id FROM emp ORDER BY id;
FETCH FORWARD 2 FROM cur_c;
MOVE ABSOLUTE 1 IN cur_c;
FETCH NEXT FROM cur_c;
CLOSE cur_c
--@ psql-free odd spacing
SELECT(1)AS"a",-1 AS b,'x'AS c,1.5 AS d,$$y$$AS e,f_add(1,2)AS f,ARRAY[1]AS g
--@ keywords as names
SELECT "select".id, "select"."from" FROM (SELECT 1 AS id, 2 AS "from") AS "select" WHERE "select".id = 1
--@ exponent and ranges in plpgsql
DO $$ BEGIN FOR i IN 1..3 LOOP PERFORM 1.5e-3 * i; END LOOP; FOR j IN REVERSE 3..1 BY 1 LOOP NULL; END LOOP; END $$
--@ hostile plpgsql body
CREATE FUNCTION f_h(t text) RETURNS text LANGUAGE plpgsql AS $f$
-- a comment holding ' and $$ and "
BEGIN
    /* block ' comment $q$ */
    IF t = $$it's$$ THEN RETURN E'$$\'' || $q$ $$ $q$; END IF;
    RETURN 'a'
        'b' || "t"('x') || U&'\0041';
EXCEPTION WHEN OTHERS THEN
    RETURN 'err';
END;
$f$;
CREATE FUNCTION "t"(a text) RETURNS text LANGUAGE sql AS $$ SELECT a || '!' $$;
SELECT f_h('x'), f_h($$it's$$)
--@ unclosed literal norun
SELECT 'abc FROM t WHERE x = 1
--@ unclosed comment norun
SELECT a /* never closed
FROM t
--@ lone semicolons and empty statements
SELECT 1
;
;
SELECT 2
