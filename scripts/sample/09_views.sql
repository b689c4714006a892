-- Views and materialised views.
CREATE VIEW sales.order_summary AS
SELECT o.order_id,
       o.order_date,
       o.status,
       c.customer_code,
       c.name   AS "顧客名",
       e."氏名" AS "担当者",
       o.total,
       o."order memo"
FROM sales.orders AS o
JOIN sales.customers AS c ON c.customer_id = o.customer_id
LEFT JOIN hr."社員" AS e ON e."社員番号" = o.sales_rep;
COMMENT ON VIEW sales.order_summary IS '受注一覧（顧客名と担当者名付き）';
COMMENT ON COLUMN sales.order_summary."顧客名" IS '顧客の会社名';

-- An updatable view with a check option.
CREATE VIEW sales.preferred_customers AS
SELECT customer_id, customer_code, name, email, rank, credit_limit
FROM sales.customers
WHERE rank IN ('gold', 'platinum')
WITH LOCAL CHECK OPTION;
COMMENT ON VIEW sales.preferred_customers IS '優良顧客（更新可能、検査オプション付き）';

CREATE VIEW hr."部署別人数" AS
SELECT d."部署コード", d."部署名", count(e."社員番号") AS "人数", avg(e."給与")::numeric(10, 0) AS "平均給与"
FROM hr."部署" AS d
LEFT JOIN hr."社員" AS e ON e."部署コード" = d."部署コード" AND e.is_active
GROUP BY d."部署コード", d."部署名";
COMMENT ON VIEW hr."部署別人数" IS '部署ごとの在籍人数と平均給与';

CREATE RECURSIVE VIEW hr.department_tree ("部署コード", "部署名", depth, path) AS
    SELECT "部署コード", "部署名", 1, "部署名"
    FROM hr."部署" WHERE "親部署コード" IS NULL
    UNION ALL
    SELECT d."部署コード", d."部署名", t.depth + 1, t.path || ' > ' || d."部署名"
    FROM hr."部署" AS d JOIN department_tree AS t ON d."親部署コード" = t."部署コード";
COMMENT ON VIEW hr.department_tree IS '部署の階層（再帰ビュー）';

-- A view over a join, made updatable by a rule.
CREATE VIEW hr.employee_directory WITH (security_barrier = true) AS
SELECT e."社員番号", e."氏名", d."部署名", e.email
FROM hr."社員" AS e
JOIN hr."部署" AS d ON d."部署コード" = e."部署コード"
WHERE e.is_active;
COMMENT ON VIEW hr.employee_directory IS '社員名簿（在籍者のみ）';
CREATE RULE employee_directory_update AS
    ON UPDATE TO hr.employee_directory
    DO INSTEAD
        UPDATE hr."社員" SET "氏名" = NEW."氏名", email = NEW.email
        WHERE "社員番号" = OLD."社員番号";
COMMENT ON RULE employee_directory_update ON hr.employee_directory IS '名簿の更新を社員表へ反映する';

CREATE MATERIALIZED VIEW reporting.monthly_sales AS
SELECT date_trunc('month', o.order_date)::date AS month,
       p.category_id,
       count(DISTINCT o.order_id) AS order_count,
       sum(l.quantity) AS quantity,
       sum(round(l.quantity * l.unit_price * (1 - l.discount), 2)) AS amount
FROM sales.orders AS o
JOIN sales.order_lines AS l ON l.order_id = o.order_id
JOIN sales.products AS p ON p.product_id = l.product_id
WHERE o.status <> 'cancelled'
GROUP BY 1, 2
WITH DATA;
CREATE UNIQUE INDEX monthly_sales_key ON reporting.monthly_sales (month, category_id);
COMMENT ON MATERIALIZED VIEW reporting.monthly_sales IS '月別・分類別の売上（マテリアライズドビュー）';
COMMENT ON COLUMN reporting.monthly_sales.amount IS '値引後の売上金額';

CREATE VIEW reporting."Product Ranking" AS
SELECT p.sku, p.name, sum(l.quantity) AS "Units Sold",
       rank() OVER (ORDER BY sum(l.quantity) DESC) AS "Rank"
FROM sales.products AS p
JOIN sales.order_lines AS l ON l.product_id = p.product_id
GROUP BY p.sku, p.name;
COMMENT ON VIEW reporting."Product Ranking" IS '商品別の販売数順位（空白を含むビュー名）';

CREATE VIEW inventory.stock_overview AS
SELECT w.name AS warehouse, p.sku, p.name AS product, s.quantity, s.reorder_level,
       s.quantity < s.reorder_level AS needs_reorder
FROM inventory.stock AS s
JOIN inventory.warehouses AS w USING (warehouse_id)
JOIN sales.products AS p USING (product_id);
COMMENT ON VIEW inventory.stock_overview IS '倉庫別在庫の一覧';

-- Deleting a row of the order summary cancels the order instead (INSTEAD OF trigger on a view).
CREATE FUNCTION sales.order_summary_delete()
    RETURNS trigger
    LANGUAGE plpgsql
    AS $$
    BEGIN
        CALL sales.cancel_order(OLD.order_id, '一覧から取り消し');
        RETURN OLD;
    END
    $$;
COMMENT ON FUNCTION sales.order_summary_delete() IS '受注一覧からの削除を受注の取り消しに置き換えるトリガー関数';
CREATE TRIGGER order_summary_cancel
    INSTEAD OF DELETE ON sales.order_summary
    FOR EACH ROW EXECUTE FUNCTION sales.order_summary_delete();
COMMENT ON TRIGGER order_summary_cancel ON sales.order_summary IS '一覧から削除すると受注を取り消す';
