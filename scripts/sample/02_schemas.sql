-- Schemas and the extensions the sample uses.
CREATE EXTENSION IF NOT EXISTS btree_gist WITH SCHEMA public;
CREATE EXTENSION IF NOT EXISTS pg_trgm WITH SCHEMA public;

CREATE SCHEMA sales;
CREATE SCHEMA hr;
CREATE SCHEMA inventory;
CREATE SCHEMA reporting AUTHORIZATION sample_manager;
CREATE SCHEMA "経理";
CREATE SCHEMA "Archive";

COMMENT ON SCHEMA sales     IS '販売管理：顧客、商品、受注';
COMMENT ON SCHEMA hr        IS '人事：社員と部署';
COMMENT ON SCHEMA inventory IS '在庫管理：倉庫、在庫、入出庫';
COMMENT ON SCHEMA reporting IS '集計とレポート';
COMMENT ON SCHEMA "経理"    IS '経理：請求書';
COMMENT ON SCHEMA "Archive" IS '過去データの保管（大文字小文字を区別する名前）';

-- A database comment; the database name depends on how the sample was loaded.
DO $$
BEGIN
    EXECUTE format('COMMENT ON DATABASE %I IS %L', current_database(), 'サンプル業務データベース');
END
$$;
