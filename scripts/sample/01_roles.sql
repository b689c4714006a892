-- Roles of the sample business. Roles belong to the whole server, so they are created
-- only when missing and their attributes are set again on every load; all of them carry
-- the prefix sample_ so that other databases on the same server are not disturbed.
DO $$
DECLARE
    r record;
BEGIN
    FOR r IN
        SELECT * FROM (VALUES
            ('sample_readonly', false),
            ('sample_staff',    false),
            ('sample_sales',    false),
            ('sample_hr',       false),
            ('sample_manager',  true),
            ('sample_clerk',    true),
            ('sample_auditor',  true)
        ) AS v(name, login)
    LOOP
        IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = r.name) THEN
            EXECUTE format('CREATE ROLE %I', r.name);
        END IF;
    END LOOP;
END
$$;

-- Group roles: no login.
ALTER ROLE sample_readonly NOLOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE INHERIT;
ALTER ROLE sample_staff    NOLOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE INHERIT;
ALTER ROLE sample_sales    NOLOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE INHERIT;
ALTER ROLE sample_hr       NOLOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE INHERIT;

-- Login roles (users).
ALTER ROLE sample_manager LOGIN NOSUPERUSER CREATEDB NOCREATEROLE INHERIT
    CONNECTION LIMIT 10 PASSWORD 'sample_manager' VALID UNTIL 'infinity';
ALTER ROLE sample_clerk   LOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE INHERIT
    CONNECTION LIMIT 5 PASSWORD 'sample_clerk';
ALTER ROLE sample_auditor LOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE NOINHERIT
    PASSWORD 'sample_auditor' VALID UNTIL '2099-12-31 23:59:59+09';
ALTER ROLE sample_clerk SET search_path = sales, public;

-- Memberships, granted only when missing so that a reload prints no notices.
DO $$
DECLARE
    m record;
BEGIN
    FOR m IN
        SELECT * FROM (VALUES
            ('sample_staff',    'sample_sales',   false),
            ('sample_staff',    'sample_hr',      false),
            ('sample_sales',    'sample_manager', true),
            ('sample_hr',       'sample_manager', false),
            ('sample_staff',    'sample_clerk',   false),
            ('sample_readonly', 'sample_clerk',   false),
            ('sample_readonly', 'sample_auditor', false)
        ) AS v(grp, member, admin)
    LOOP
        IF NOT EXISTS (
            SELECT 1 FROM pg_auth_members am
            WHERE am.roleid = (SELECT oid FROM pg_roles WHERE rolname = m.grp)
              AND am.member = (SELECT oid FROM pg_roles WHERE rolname = m.member))
        THEN
            EXECUTE format('GRANT %I TO %I%s', m.grp, m.member,
                           CASE WHEN m.admin THEN ' WITH ADMIN OPTION' ELSE '' END);
        END IF;
    END LOOP;
END
$$;

COMMENT ON ROLE sample_readonly IS '参照専用のグループロール';
COMMENT ON ROLE sample_staff    IS '全社員のグループロール';
COMMENT ON ROLE sample_sales    IS '営業部門のグループロール';
COMMENT ON ROLE sample_hr       IS '人事部門のグループロール';
COMMENT ON ROLE sample_manager  IS '営業マネージャー（ログイン可）';
COMMENT ON ROLE sample_clerk    IS '事務担当者（ログイン可）';
COMMENT ON ROLE sample_auditor  IS '監査担当者（ログイン可、権限を継承しない）';
