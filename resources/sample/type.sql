-- タイプのサンプル
CREATE TYPE public.sample_point AS (
    x double precision,
    y double precision
);
