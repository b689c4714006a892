-- Indexes, built after the data: unique, partial, expression, multi-column, covering,
-- and the access methods btree, hash, gin, gist, spgist and brin.
CREATE UNIQUE INDEX customers_email_lower_key ON sales.customers (lower(email));
COMMENT ON INDEX sales.customers_email_lower_key IS 'メールアドレスの一意性（大文字小文字を区別しない、式索引）';

CREATE INDEX customers_email_hash ON sales.customers USING hash (email);
COMMENT ON INDEX sales.customers_email_hash IS 'メールアドレスの等価検索（ハッシュ索引）';

CREATE INDEX customers_tags_gin ON sales.customers USING gin (tags);
CREATE INDEX customers_name_trgm ON sales.customers USING gin (name gin_trgm_ops);
COMMENT ON INDEX sales.customers_name_trgm IS '顧客名の部分一致検索（トライグラム）';

CREATE INDEX products_attributes_gin ON sales.products USING gin (attributes jsonb_path_ops);
CREATE INDEX products_category_price_idx ON sales.products (category_id, price DESC NULLS LAST)
    WITH (fillfactor = 80);
CREATE INDEX products_active_idx ON sales.products (name) WHERE NOT discontinued;

CREATE INDEX orders_customer_date_idx ON sales.orders (customer_id, order_date DESC);
COMMENT ON INDEX sales.orders_customer_date_idx IS '顧客別の受注日（複数列索引）';
CREATE INDEX orders_open_idx ON sales.orders (order_date) WHERE status IN ('draft', 'confirmed');
COMMENT ON INDEX sales.orders_open_idx IS '未出荷の受注（部分索引）';
CREATE INDEX orders_sales_rep_idx ON sales.orders (sales_rep);
CREATE INDEX "orders_order memo_idx" ON sales.orders ("order memo") WHERE "order memo" IS NOT NULL;
CREATE INDEX orders_month_idx ON sales.orders ((date_trunc('month', order_date::timestamp)));

CREATE INDEX order_lines_product_idx ON sales.order_lines (product_id) INCLUDE (quantity);
COMMENT ON INDEX sales.order_lines_product_idx IS '商品別の明細（付加列付き）';

CREATE INDEX price_history_valid_spgist ON sales.price_history USING spgist (valid_during);
CREATE INDEX "ContactHistory_customer_idx" ON sales."ContactHistory" (customer_id, "ContactedAt");

CREATE INDEX warehouses_location_gist ON inventory.warehouses USING gist (location);
COMMENT ON INDEX inventory.warehouses_location_gist IS '倉庫の位置（GiST索引）';

CREATE INDEX stock_movements_moved_at_brin ON inventory.stock_movements USING brin (moved_at)
    WITH (pages_per_range = 32);
COMMENT ON INDEX inventory.stock_movements_moved_at_brin IS '入出庫日時（BRIN索引、各パーティションに作られる）';
CREATE INDEX stock_movements_product_idx ON inventory.stock_movements (product_id, warehouse_id);

CREATE INDEX "社員_部署_氏名_idx" ON hr."社員" ("部署コード", "氏名");
COMMENT ON INDEX hr."社員_部署_氏名_idx" IS '部署別の氏名順';
CREATE UNIQUE INDEX "社員_email_key" ON hr."社員" (lower(email)) WHERE is_active;
COMMENT ON INDEX hr."社員_email_key" IS '在籍社員のメールアドレスの一意性（部分・式索引）';
CREATE INDEX "社員_入社日_idx" ON hr."社員" USING brin ("入社日");

CREATE INDEX "Orders 2019_Customer_idx" ON "Archive"."Orders 2019" ("Customer");

CREATE INDEX "請求書_未入金_idx" ON "経理"."請求書" ("支払期限") WHERE NOT "入金済";
