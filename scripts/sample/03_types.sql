-- Types: enum, composite, domain and range types.
CREATE TYPE sales.order_status AS ENUM ('draft', 'confirmed', 'shipped', 'delivered', 'cancelled');
COMMENT ON TYPE sales.order_status IS '受注の状態';

CREATE TYPE sales.customer_rank AS ENUM ('bronze', 'silver', 'gold', 'platinum');
COMMENT ON TYPE sales.customer_rank IS '顧客ランク';

CREATE TYPE sales.address AS (
    postal_code text,
    prefecture  text,
    city        text,
    street      text
);
COMMENT ON TYPE sales.address IS '住所（郵便番号、都道府県、市区町村、番地）';
COMMENT ON COLUMN sales.address.postal_code IS '郵便番号';
COMMENT ON COLUMN sales.address.prefecture IS '都道府県';

CREATE TYPE inventory.dimensions AS (
    width_mm  integer,
    height_mm integer,
    depth_mm  integer
);
COMMENT ON TYPE inventory.dimensions IS '商品の外形寸法（ミリ）';

CREATE DOMAIN sales.email_address AS text
    CONSTRAINT email_address_check CHECK (VALUE ~ '^[^@\s]+@[^@\s]+\.[^@\s]+$');
COMMENT ON DOMAIN sales.email_address IS '電子メールアドレス';

CREATE DOMAIN sales.money_amount AS numeric(12, 2)
    DEFAULT 0
    NOT NULL
    CONSTRAINT money_amount_nonnegative CHECK (VALUE >= 0);
COMMENT ON DOMAIN sales.money_amount IS '金額（0以上、円）';

CREATE DOMAIN hr."郵便番号" AS character(8)
    CONSTRAINT "郵便番号_形式" CHECK (VALUE ~ '^[0-9]{3}-[0-9]{4}$');
COMMENT ON DOMAIN hr."郵便番号" IS '郵便番号（999-9999）';

-- A range of times of day, with a difference function so that GiST indexes work well.
CREATE FUNCTION hr.time_subtype_diff(a time, b time) RETURNS double precision
    LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE
    AS $$ SELECT EXTRACT(EPOCH FROM (a - b))::double precision $$;

CREATE TYPE hr.time_slot AS RANGE (
    SUBTYPE = time,
    SUBTYPE_DIFF = hr.time_subtype_diff
);
COMMENT ON TYPE hr.time_slot IS '時間帯（開始時刻～終了時刻）';

CREATE TYPE sales.price_range AS RANGE (SUBTYPE = numeric);
COMMENT ON TYPE sales.price_range IS '価格帯';
